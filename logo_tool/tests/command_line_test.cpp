// The Imprex program on the command line: converting files, bad input, usage.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "print_data/bmp_reader.h"
#include "test_support/process.h"
#include "test_pictures.h"

namespace imprex::testing {
namespace {

struct ProgramRun {
  int status = -1;
  QString out, err;
};

ProgramRun Imprex(const QStringList& arguments) {
  QProcess process;
  process.start(IMPREX_PATH, arguments);
  ProgramRun run;
  if (!process.waitForFinished(60000)) return run;
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

TEST(ImprexCommandLine, ConvertsAPngLogoIntoABmpThePrintMethodsTake) {
  QTemporaryDir dir;
  const QString png = dir.filePath("shop.png"), bmp = dir.filePath("shop.bmp");
  ASSERT_TRUE(WriteFile(png, Encode(SyntheticPhoto(900, 300), "png")));
  ProgramRun run = Imprex({"convert", png, bmp, "--width", "400", "--dither", "atkinson"});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_NE(run.out.indexOf("400 x 133 dots, atkinson"), -1) << run.out.toStdString();
  EXPECT_NE(run.out.indexOf("dot for dot"), -1);
  const print_data::BmpReadResult read = print_data::ReadBmpFile(bmp.toStdString());
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.image.width(), 400);
  EXPECT_EQ(read.image.height(), 133);

  // The default: scaled to the 512-dot line, too tall for PrintBitmap dot for dot.
  ASSERT_TRUE(WriteFile(png, Encode(SyntheticPhoto(1000, 800), "png")));
  run = Imprex({"convert", png, bmp, "--threshold=100", "--brightness", "-10", "--contrast", "20"});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_NE(run.out.indexOf("512 x 410 dots, floyd-steinberg"), -1) << run.out.toStdString();
  EXPECT_NE(run.out.indexOf("Imprex store"), -1);
}

TEST(ImprexCommandLine, BadPicturesAndWrongArgumentsGetAMessageAndAStatus) {
  QTemporaryDir dir;
  const QString text = dir.filePath("notes.png"), huge = dir.filePath("huge.bmp");
  ASSERT_TRUE(WriteFile(text, "this is not a picture"));
  ASSERT_TRUE(WriteFile(huge, ForgedBmpHeader(20000, 20000)));
  ProgramRun run = Imprex({"convert", text, dir.filePath("out.bmp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.indexOf("notes.png is not a picture Imprex can read"), -1) << run.err.toStdString();
  run = Imprex({"convert", huge, dir.filePath("out.bmp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.indexOf("too large: 20000 x 20000"), -1) << run.err.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("out.bmp")));

  for (const QStringList& wrong :
       {QStringList{"convert", text}, QStringList{"convert", text, "a.bmp", "--dither", "blur"},
        QStringList{"convert", text, "a.bmp", "--width"},
        QStringList{"convert", text, "a.bmp", "--threshold", "0"},
        QStringList{"store", "Printer"}, QStringList{"convert", text, "a.bmp", "--colour", "1"}}) {
    run = Imprex(wrong);
    EXPECT_EQ(run.status, 2) << wrong.join(' ').toStdString();
    EXPECT_NE(run.err.indexOf("Usage:"), -1) << wrong.join(' ').toStdString();
  }
}

// Asked for its usage or version, the program answers on its standard output without a
// window (the setup utility's button starts it without arguments for the window).
TEST(ImprexCommandLine, HelpAndVersionNeedNoDisplay) {
  test_support::CommandRun run = test_support::RunWithoutDisplay(IMPREX_PATH, "--help");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Imprex convert IN OUT.bmp"), std::string::npos) << run.output;
  run = test_support::RunWithoutDisplay(IMPREX_PATH, "--version");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "Imprex 2.15\n");
}

}  // namespace
}  // namespace imprex::testing
