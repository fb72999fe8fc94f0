// Reading pictures of every kind, and refusing bad ones with a clear message.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "picture_reader.h"
#include "test_pictures.h"

namespace imprex::testing {
namespace {

TEST(PictureReader, ReadsPngJpegAndBmpOfEveryDepth) {
  const QImage photo = SyntheticPhoto(120, 80);
  struct Case {
    const char* what;
    QImage image;
    const char* format;
  };
  const Case cases[] = {
      {"png argb", photo, "png"},
      {"png 16-bit", photo.convertToFormat(QImage::Format_RGBA64), "png"},
      {"png grey", photo.convertToFormat(QImage::Format_Grayscale8), "png"},
      {"png indexed", photo.convertToFormat(QImage::Format_Indexed8), "png"},
      {"png one-bit", OneBitPattern(120, 80), "png"},
      {"jpeg", photo.convertToFormat(QImage::Format_RGB32), "jpg"},
      {"bmp 24-bit", photo.convertToFormat(QImage::Format_RGB888), "bmp"},
      {"bmp 32-bit", photo, "bmp"},
      {"bmp 8-bit", photo.convertToFormat(QImage::Format_Indexed8), "bmp"},
      {"bmp one-bit", OneBitPattern(120, 80), "bmp"},
  };
  for (const Case& c : cases) {
    const Picture picture = ReadPictureData(Encode(c.image, c.format), c.what);
    EXPECT_TRUE(picture.ok()) << c.what << ": " << picture.error.toStdString();
    EXPECT_EQ(picture.image.size(), QSize(120, 80)) << c.what;
  }
}

TEST(PictureReader, BadInputGetsAClearMessageAndNoDecoding) {
  const QByteArray png = Encode(SyntheticPhoto(200, 150), "png");
  const QByteArray jpeg = Encode(SyntheticPhoto(200, 150).convertToFormat(QImage::Format_RGB32), "jpg");
  const QByteArray bmp = Encode(SyntheticPhoto(200, 150).convertToFormat(QImage::Format_RGB888), "bmp");
  struct Case {
    const char* what;
    QByteArray bytes;
    const char* expected;  // part of the message
  };
  const Case cases[] = {
      {"text", "just some words, not a picture", "not a picture Imprex can read"},
      {"gif", QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13), "not a picture Imprex can read"},
      {"empty", QByteArray(), "is empty"},
      {"png cut", png.left(png.size() / 2), "could not be read"},
      {"png header only", png.left(40), "could not be read"},
      {"jpeg cut", jpeg.left(jpeg.size() / 2), "cut short"},
      {"bmp cut", bmp.left(bmp.size() / 3), "cut short"},
      {"png 0 x 0", ForgedPngHeader(0, 0), "no pixels"},
      {"bmp 0 x 0", ForgedBmpHeader(0, 0), "no pixels"},
      {"png 20000 x 20000", ForgedPngHeader(20000, 20000), "too large: 20000 x 20000"},
      {"bmp 20000 x 20000", ForgedBmpHeader(20000, 20000), "too large: 20000 x 20000"},
      {"bmp 16000 x 16000", ForgedBmpHeader(16000, 16000), "too large"},
      {"bmp 2^31 x 2^31", ForgedBmpHeader(2147483647, 2147483647), "too large"},  // no overflow
  };
  for (const Case& c : cases) {
    const Picture picture = ReadPictureData(c.bytes, c.what);
    EXPECT_FALSE(picture.ok()) << c.what;
    EXPECT_TRUE(picture.error.startsWith(c.what)) << picture.error.toStdString();
    EXPECT_NE(picture.error.indexOf(c.expected), -1) << c.what << ": " << picture.error.toStdString();
  }
}

TEST(PictureReader, FilesThatCannotBeOpenedSaySo) {
  QTemporaryDir dir;
  const Picture missing = ReadPictureFile(dir.filePath("no-such-logo.png"));
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error.indexOf("cannot be opened"), -1) << missing.error.toStdString();
  const Picture folder = ReadPictureFile(dir.path());
  EXPECT_FALSE(folder.ok());
}

}  // namespace
}  // namespace imprex::testing
