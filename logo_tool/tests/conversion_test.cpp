// From pictures to one-bit logos: tone per method, sizes, transparency, levels.
#include <gtest/gtest.h>

#include <QPainter>

#include "logo_conversion.h"
#include "test_pictures.h"

namespace imprex::testing {
namespace {

double BlackShare(const MonoLogo& logo, int x0, int x1) {
  int black = 0;
  for (int y = 0; y < logo.height; ++y)
    for (int x = x0; x < x1; ++x) black += logo.Printed(x, y);
  return double(black) / (double(x1 - x0) * logo.height);
}

MonoLogo Convert(const QImage& image, ConvertOptions options = {}) {
  Conversion c = ConvertPicture(image, options);
  EXPECT_TRUE(c.ok()) << c.error.toStdString();
  return c.logo;
}

TEST(Conversion, AGradientGivesEachMethodItsShareOfBlackDots) {
  // Bands of 64 columns of the 512-dot gradient: mean levels 15.75, 47.75, ... 239.75.
  struct Expect {
    DitherMethod method;
    double tolerance;  // for each band, against 1 - mean / 255
  };
  const Expect methods[] = {{DitherMethod::kOrdered, 0.02},
                            {DitherMethod::kFloydSteinberg, 0.02},
                            {DitherMethod::kAtkinson, 0.10}};  // it lets 1/4 of the error go
  for (const Expect& m : methods) {
    ConvertOptions options;
    options.method = m.method;
    const MonoLogo logo = Convert(Gradient(64), options);
    ASSERT_EQ(logo.width, 512);
    EXPECT_NEAR(BlackShare(logo, 0, 512), 0.5, 0.02) << MethodName(m.method);
    for (int band = 0; band < 8; ++band) {
      const double mean = band * 32 + 15.75;
      EXPECT_NEAR(BlackShare(logo, band * 64, band * 64 + 64), 1 - mean / 255, m.tolerance)
          << MethodName(m.method) << " band " << band;
    }
  }
  // Threshold: everything below level 128 prints (columns 0..255), nothing else.
  ConvertOptions options;
  options.method = DitherMethod::kThreshold;
  MonoLogo logo = Convert(Gradient(8), options);
  EXPECT_EQ(BlackShare(logo, 0, 256), 1.0);
  EXPECT_EQ(BlackShare(logo, 256, 512), 0.0);
  options.threshold = 64;
  logo = Convert(Gradient(8), options);
  EXPECT_EQ(BlackShare(logo, 0, 128), 1.0);
  EXPECT_EQ(BlackShare(logo, 128, 512), 0.0);
  // Atkinson keeps the darkest and lightest quarters solid where Floyd-Steinberg dithers.
  options.method = DitherMethod::kAtkinson;
  options.threshold = 128;
  logo = Convert(Gradient(64), options);
  EXPECT_GT(BlackShare(logo, 0, 16), 0.99);
  EXPECT_LT(BlackShare(logo, 496, 512), 0.01);
}

TEST(Conversion, AOneBitPicturePassesThroughUnchangedWithEveryMethod) {
  const QImage pattern = OneBitPattern(203, 61);
  MonoLogo expected;
  expected.width = 203;
  expected.height = 61;
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 203; ++x) expected.dots.push_back(uint8_t(pattern.pixelIndex(x, y)));
  for (DitherMethod method : {DitherMethod::kThreshold, DitherMethod::kOrdered,
                              DitherMethod::kFloydSteinberg, DitherMethod::kAtkinson}) {
    ConvertOptions options;
    options.method = method;
    EXPECT_TRUE(Convert(pattern, options) == expected) << MethodName(method);
  }
}

TEST(Conversion, APictureWiderThanTheLineIsScaledNeverCut) {
  // 1200 x 300 with a black frame 6 pixels thick: every edge must survive the scaling.
  QImage wide(1200, 300, QImage::Format_RGB32);
  wide.fill(Qt::white);
  QPainter p(&wide);
  p.setPen(QPen(Qt::black, 12));
  p.drawRect(0, 0, 1200, 300);
  p.end();
  for (int line : {512, 576}) {
    ConvertOptions options;
    options.printer_width = line;
    options.method = DitherMethod::kThreshold;
    const MonoLogo logo = Convert(wide, options);
    EXPECT_EQ(logo.width, line);
    EXPECT_EQ(logo.height, line / 4);
    for (int y = 0; y < logo.height; ++y) {
      EXPECT_TRUE(logo.Printed(0, y) && logo.Printed(logo.width - 1, y)) << line << " row " << y;
    }
    for (int x = 0; x < logo.width; ++x) {
      EXPECT_TRUE(logo.Printed(x, 0) && logo.Printed(x, logo.height - 1)) << line << " col " << x;
    }
    EXPECT_FALSE(logo.Printed(logo.width / 2, logo.height / 2));
  }
  // A given width scales up or down; one wider than the line is refused, not cut.
  ConvertOptions options;
  options.width = 300;
  EXPECT_EQ(Convert(wide, options).width, 300);
  EXPECT_EQ(Convert(OneBitPattern(100, 40), options).height, 120);
  options.width = 513;
  const Conversion refused = ConvertPicture(wide, options);
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.error.indexOf("does not fit the receipt line of 512 dots"), -1);
  // A picture small enough keeps its own size.
  EXPECT_EQ(Convert(OneBitPattern(100, 40)).width, 100);
  // One so narrow and tall that the logo would run for metres.
  options.width = 512;
  EXPECT_FALSE(ConvertPicture(QImage(2, 100, QImage::Format_RGB32), options).ok());
}

TEST(Conversion, TransparentPartsPrintWhite) {
  QImage image(64, 64, QImage::Format_ARGB32);
  image.fill(qRgba(0, 0, 0, 0));  // black, fully transparent
  for (int y = 32; y < 64; ++y)
    for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgba(0, 0, 0, 128));  // half
  for (DitherMethod method : {DitherMethod::kThreshold, DitherMethod::kOrdered,
                              DitherMethod::kFloydSteinberg, DitherMethod::kAtkinson}) {
    ConvertOptions options;
    options.method = method;
    MonoLogo logo = Convert(image, options);
    int top_black = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) top_black += logo.Printed(x, y);
    EXPECT_EQ(top_black, 0) << MethodName(method);
  }
  // Half-transparent black over white is mid grey: dithered to about half the dots, also
  // when scaled down (transparent pixels must not darken their neighbours).
  ConvertOptions options;
  options.width = 16;
  const MonoLogo small = Convert(image, options);
  int top_black = 0;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 16; ++x) top_black += small.Printed(x, y);
  EXPECT_EQ(top_black, 0);
  EXPECT_NEAR(BlackShare(Convert(image), 0, 64), 0.25, 0.03);
}

TEST(Conversion, BrightnessAndContrastMoveTheLevels) {
  std::vector<uint8_t> grey = {0, 64, 128, 192, 255};
  AdjustLevels(grey, 0, -100);
  EXPECT_EQ(grey, (std::vector<uint8_t>{128, 128, 128, 128, 128}));
  grey = {0, 64, 128, 192, 255};
  AdjustLevels(grey, 0, 100);
  EXPECT_EQ(grey, (std::vector<uint8_t>{0, 0, 128, 255, 255}));
  grey = {0, 64, 128, 192, 255};
  AdjustLevels(grey, 50, 0);
  EXPECT_EQ(grey, (std::vector<uint8_t>{127, 191, 255, 255, 255}));

  ConvertOptions options;
  options.brightness = 100;
  EXPECT_EQ(BlackShare(Convert(Gradient(16), options), 0, 512), 0.0);
  options.brightness = -100;
  EXPECT_EQ(BlackShare(Convert(Gradient(16), options), 0, 512), 1.0);
}

}  // namespace
}  // namespace imprex::testing
