// The BMP file the print methods read, and the NV store command's bytes.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "mono_bmp_writer.h"
#include "nv_store_command.h"
#include "print_data/bmp_reader.h"
#include "test_pictures.h"

namespace imprex::testing {
namespace {

MonoLogo Pattern(int width, int height) {
  MonoLogo logo;
  logo.width = width;
  logo.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) logo.dots.push_back(uint8_t((x * 5 + y * 3) % 7 < 3));
  return logo;
}

TEST(MonoBmp, ThePrintMethodsReaderTakesTheFileDotForDot) {
  QTemporaryDir dir;
  for (const auto& [w, h] : {std::pair{1, 1}, {31, 5}, {32, 7}, {33, 9}, {512, 192}, {576, 40}}) {
    const MonoLogo logo = Pattern(w, h);
    const QString path = dir.filePath(QString("logo-%1x%2.bmp").arg(w).arg(h));
    ASSERT_EQ(SaveMonoBmp(logo, path), QString());
    const print_data::BmpReadResult read = print_data::ReadBmpFile(path.toStdString());
    ASSERT_TRUE(read.ok()) << w << "x" << h << ": " << read.result << "/" << read.extended;
    ASSERT_EQ(read.image.width(), w);
    ASSERT_EQ(read.image.height(), h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(read.image.Printed(x, y), logo.Printed(x, y)) << w << "x" << h << " " << x << "," << y;
  }
  EXPECT_TRUE(FitsDownloadArea(Pattern(512, 192)));
  EXPECT_FALSE(FitsDownloadArea(Pattern(512, 193)));
  EXPECT_FALSE(FitsDownloadArea(Pattern(2048, 8)));
  EXPECT_NE(SaveMonoBmp(Pattern(8, 8), dir.filePath("no-such-dir/logo.bmp")), QString());
}

TEST(NvStoreCommand, BytesPadTheLogoEvenlyAndRefuseWhatThePrinterCannotHold) {
  // 10 x 9 dots: 2 byte columns (16 dots, 3 blank each side), 2 bytes a column.
  MonoLogo logo;
  logo.width = 10;
  logo.height = 9;
  logo.dots.assign(90, 0);
  for (int x = 0; x < 10; ++x) logo.dots[x] = 1;             // top row
  for (int y = 0; y < 9; ++y) logo.dots[size_t(y) * 10] = 1;  // left column
  const NvStoreCommand command = BuildNvStoreCommand({logo});
  ASSERT_TRUE(command.ok());
  std::string expected("\x1C\x71\x01\x02\x00\x02\x00", 7);
  std::string columns(32, '\0');
  columns[3 * 2] = char(0xFF);      // left column, rows 0..7
  columns[3 * 2 + 1] = char(0x80);  // row 8
  for (int x = 4; x < 13; ++x) columns[size_t(x) * 2] = char(0x80);
  EXPECT_EQ(command.bytes, expected + columns);
  EXPECT_EQ(command.image_bytes, 32u);

  // Two logos: numbered in order, each with its own header.
  const NvStoreCommand two = BuildNvStoreCommand({logo, Pattern(512, 100)});
  ASSERT_TRUE(two.ok());
  EXPECT_EQ(two.bytes[2], 2);
  EXPECT_EQ(two.bytes.substr(3 + 4 + 32, 4), std::string("\x40\x00\x0D\x00", 4));
  EXPECT_EQ(two.image_bytes, 32u + 64 * 13 * 8);
  EXPECT_EQ(two.bytes.size(), 3 + 8 + two.image_bytes);

  const NvStoreCommand full = BuildNvStoreCommand({Pattern(512, 400)}, 512 * 400 / 8 - 1);
  EXPECT_FALSE(full.ok());
  EXPECT_NE(full.error.indexOf("need 25600 bytes of NV memory; the printer has 25599"), -1)
      << full.error.toStdString();
  EXPECT_TRUE(full.bytes.empty());
  EXPECT_TRUE(BuildNvStoreCommand({Pattern(512, 400)}, 512 * 400 / 8).ok());
  EXPECT_FALSE(BuildNvStoreCommand({Pattern(8, kMaxNvHeight + 1)}, 1 << 30).ok());
  EXPECT_TRUE(BuildNvStoreCommand({Pattern(8, kMaxNvHeight)}, 1 << 30).ok());
  EXPECT_FALSE(BuildNvStoreCommand({}).ok());
}

}  // namespace
}  // namespace imprex::testing
