// What the printer prints: the print operations for receipts, images, barcodes and page
// mode; identical results however the bytes are split; the offline buffer; the log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "printer_harness.h"

namespace vdev::testing {
namespace {

Bytes SampleReceipt() {
  return Cat({
      B("\x1B"
        "E0\x1B-0\x1B!F\x1D"
        "B0\x1B"
        "a0"),  // reset prefix for 42 columns
      B("\x1B\x33\x3C"),
      B("\x1B"
        "a1SHOP\n"),
      B("\x1B"
        "a0\x1B"
        "E1Total\x1B"
        "E0 9.99\n"),
      B("\x1B!0BIG\x1D!"),
      {0x00},
      B("\x1B-2U\x1B-0\x1D"
        "B1R\x1D"
        "B0\n"),
      B("\x1D!!W\n"),
      B("\x1D!"),
      {0x00},
      // Barcode with its settings, as a barcode print sends it.
      B("\x1D"
        "f0\x1Dw\x03\x1Dh\x33\x1B"
        "a1\x1DH2\x1Dk\x41\x0B"
        "01234567890"),
      // Downloaded bit image (16 x 8 dots, left half black), printed right-aligned.
      B("\x1B"
        "a0\x1D*\x02\x01"),
      Bytes(8, 0xFF),
      Bytes(8, 0x00),
      B("\x1B"
        "a2\x1D/0\x1B"
        "a0"),
      // One 8-dot band of three columns, with band line spacing.
      B("\x1B\x33\x10\x1B*\x01\x03"),
      {0x00, 0x80, 0x01, 0xFF},
      B("\n\x1B\x33\x3C"),
      B("\x1Cp\x01"
        "0"),
      // Page mode, rotated, as rotated printing sends it.
      B("\x1BL\x1BT1Side\n\x1BW"),
      {0, 0, 0, 0, 0x00, 0x02, 0xD0, 0x02},
      B("\x1B\x0C\x1BS"),
      B("\x1B"
        "d\x02\x1Bm\x1DV\x41\x10"),
  });
}

const std::vector<std::string> kSampleOps = {
    "text a1 s30 cp0 [f0 1x1]SHOP",
    "text a0 s30 cp0 [f0 b 1x1]Total [f0 1x1] 9.99",
    "text a0 s30 cp0 [f0 2x2]BIG [f0 u2 1x1]U [f0 r 1x1]R",
    "text a0 s30 cp0 [f0 3x2]W",
    "barcode 65 01234567890 w3 h51 hri2 f0 a1",
    "image GS / 16x8 x1/1 a2 adv-1 dots64",
    "image ESC * 3x8 x1/3 a0 adv8 dots10",
    "image FS p 1 192x64 x1/1 a0 adv-1 dots",  // prefix: the logo's dot count is its own
    "page 0,0 512x720 dir1 { text a0 s30 cp0 [f0 1x1]Side; }",
    "feed 60",
    "cut partial",
    "feed 8",
    "cut full",
};

void ExpectSampleOps(const std::vector<std::string>& ops) {
  ASSERT_EQ(ops.size(), kSampleOps.size());
  for (size_t i = 0; i < ops.size(); ++i) {
    if (kSampleOps[i].back() == 's')
      EXPECT_EQ(ops[i].rfind(kSampleOps[i], 0), 0u) << ops[i];
    else
      EXPECT_EQ(ops[i], kSampleOps[i]);
  }
}

TEST(PrintOutput, SampleReceiptGivesItsOperations) {
  Harness h;
  EXPECT_TRUE(h.Send(SampleReceipt()).empty());
  ExpectSampleOps(h.sink.descriptions());
  EXPECT_EQ(h.printer.Status().receipts, 2u);
  EXPECT_EQ(h.printer.Status().lines, 5u);  // four receipt lines and one in the page
  EXPECT_FALSE(h.printer.Status().page_mode);
  h.printer.Finish();
  EXPECT_EQ(h.sink.finishes(), 1);
}

TEST(PrintOutput, AnySplitOfTheStreamGivesTheSameResult) {
  const Bytes stream = Cat({SampleReceipt(),
                            {0x10, 0x04, 0x01},
                            {0x1D, 0x61, 0x01},
                            Bytes{0x1D, 0x28, 0x48, 0x06, 0x00, '0', '0', 'W', 'X', 'Y', 'Z'}});
  Harness whole;
  const Bytes answers = whole.Send(stream);
  ASSERT_EQ(answers.size(), 1u + 4u + 7u);
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    Harness split;
    size_t pos = 0;
    Bytes got;
    while (pos < stream.size()) {
      const size_t n = round < 3 ? size_t(round + 1) : 1 + random() % 23;
      const size_t end = std::min(stream.size(), pos + n);
      const Bytes part(stream.begin() + pos, stream.begin() + end);
      const Bytes a = split.Send(part);
      got.insert(got.end(), a.begin(), a.end());
      pos = end;
    }
    EXPECT_EQ(got, answers) << round;
    EXPECT_EQ(split.sink.descriptions(), whole.sink.descriptions()) << round;
    EXPECT_EQ(split.printer.DecodedLog(), whole.printer.DecodedLog()) << round;
  }
}

TEST(PrintOutput, LongLinesWrapAtTheColumnCount) {
  Harness h42;
  h42.Send(Cat({Bytes(43, 'x'), B("\n")}));
  auto ops = h42.sink.descriptions();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0], "text a0 s30 cp0 [f0 1x1]" + std::string(42, 'x'));
  EXPECT_EQ(ops[1], "text a0 s30 cp0 [f0 1x1]x");

  PrinterConfig config;
  config.columns = 56;
  Harness h56(config);
  h56.Send(Cat({Bytes(57, 'y'), B("\n")}));
  EXPECT_EQ(h56.sink.descriptions().size(), 2u);
  EXPECT_EQ(h56.printer.Geometry().columns, 56);
}

TEST(PrintOutput, RotatedPageLinesRunAlongTheAreaHeight) {
  Harness h;
  const Bytes area = {0x1B, 'W', 0, 0, 0, 0, 0x00, 0x02, 0xA0, 0x05};  // 512 x 1440
  h.Send(Cat({B("\x1BL\x1BT1"), Bytes(60, 'x'), B("\n"), area, B("\x1B\x0C\x1BS")}));
  h.Send(Cat({B("\x1BL\x1BT0"), Bytes(60, 'y'), B("\n\x1B\x0C\x1BS")}));
  const auto ops = h.sink.descriptions();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0],
            "page 0,0 512x1440 dir1 { text a0 s30 cp0 [f0 1x1]" + std::string(60, 'x') + "; }");
  EXPECT_EQ(ops[1], "page 0,0 512x0 dir0 { text a0 s30 cp0 [f0 1x1]" + std::string(42, 'y') +
                        "; text a0 s30 cp0 [f0 1x1]" + std::string(18, 'y') + "; }");
}

TEST(PrintOutput, DotMatrixPrintsInTwoColoursWithoutBarcodesOrPageMode) {
  PrinterConfig config;
  config.kind = PrinterKind::DotMatrix;
  config.columns = 42;  // ignored: the dot-matrix printer has 33
  Harness h(config);
  EXPECT_EQ(h.printer.Geometry().columns, 33);
  h.Send(Cat({B("\x1Br1red\x1Br0\n"),
              Bytes(34, 'z'),
              B("\n"),
              B("\x1Dk\x45\x03"
                "ABC"),
              B("\x1BL\x1BT1rot\n\x1B\x0C\x1BS"),
              {0x1B, '*', 0x01, 0x02, 0x00, 0xFF, 0x0F},
              B("\n")}));
  const auto ops = h.sink.descriptions();
  ASSERT_EQ(ops.size(), 5u);
  EXPECT_EQ(ops[0], "text a0 s30 cp0 [f0 1x1 red]red");
  EXPECT_EQ(ops[1], "text a0 s30 cp0 [f0 1x1]" + std::string(33, 'z'));
  EXPECT_EQ(ops[3], "text a0 s30 cp0 [f0 1x1]rot");
  EXPECT_EQ(ops[4], "image ESC * 2x8 x1/1 a0 adv30 dots12");
  EXPECT_NE(h.printer.DecodedLog().find("no barcodes on dot-matrix"), std::string::npos);
}

TEST(PrintOutput, BadImagesAndBarcodesAreSkippedWholeAndFramingHolds) {
  Harness h;
  h.Send(Cat({B("\x1D*\x40\x40"),
              Bytes(0x40 * 0x40 * 8, 0xAA),  // 4096 > 1536: too large
              B("\x1D/0"),                   // nothing downloaded
              B("\x1Dk\x41\x03"
                "12A"),  // UPC-A needs digits
              B("\x1Dk\x49\x03"
                "123"),  // Code 128 without code set
              B("\x1Dk\x04*A1*"),
              {0x00},  // NUL-terminated Code 39
              B("\x1Cp\x07"
                "0"),  // no NV image 7
              {0x1C, 'q', 0x01, 0x01, 0x00, 0x01, 0x00},
              Bytes(8, 0x81),  // replaces the NV images
              Bytes{0x1C, 'p', 0x01, 0x03, 0x1C, 'p', 0x02, 0x00},
              B("end\n")}));
  EXPECT_EQ(h.sink.descriptions(),
            (std::vector<std::string>{"barcode 69 *A1* w3 h162 hri0 f0 a0",
                                      "image FS p 1 8x8 x2/2 a0 adv-1 dots16",
                                      "text a0 s30 cp0 [f0 1x1]end"}));
}

TEST(PrintOutput, NvImagesLargerThanTheMemoryAreIgnoredAndTheStoredOnesKept) {
  PrinterConfig config;
  config.nv_memory_bytes = 1024;
  Harness h(config);
  // Two images of 64 x 64 dots (512 bytes each) fill the memory exactly.
  const Bytes two = Cat({B("\x1Cq\x02"), {0x08, 0x00, 0x08, 0x00}, Bytes(512, 0xFF),
                         {0x08, 0x00, 0x08, 0x00}, Bytes(512, 0x00)});
  h.Send(Cat({two, {0x1C, 'p', 0x02, 0x00}}));
  // One byte column more does not fit: ignored, framing holds, image 2 is still 64 x 64.
  h.Send(Cat({B("\x1Cq\x01"), {0x09, 0x00, 0x10, 0x00}, Bytes(9 * 16 * 8, 0xFF),
              {0x1C, 'p', 0x02, 0x00, 0x1C, 'p', 0x01, 0x00}}));
  EXPECT_EQ(h.sink.descriptions(),
            (std::vector<std::string>{"image FS p 2 64x64 x1/1 a0 adv-1 dots0",
                                      "image FS p 2 64x64 x1/1 a0 adv-1 dots0",
                                      "image FS p 1 64x64 x1/1 a0 adv-1 dots4096"}));
  EXPECT_NE(h.printer.DecodedLog().find("larger than the NV memory"), std::string::npos);

  // A header announcing 255 images of the largest size (600 MB) is refused at once: what
  // follows is not held back waiting for data that will never come.
  h.Send(Cat({B("\x1Cq\xFF"), {0xFF, 0x03, 0x20, 0x01}, {0xFF, 0x03, 0x20, 0x01},
              B("after\n"), {0x1C, 'p', 0x02, 0x00}}));
  const auto described = h.sink.descriptions();
  EXPECT_NE(std::find(described.begin(), described.end(), "image FS p 2 64x64 x1/1 a0 adv-1 dots0"),
            described.end());
  EXPECT_EQ(described.size(), 4u + 1u);  // the text line and the stored image still print
}

TEST(PrintOutput, HeldDataPrintsWhenOnlineAndOverflowIsCounted) {
  PrinterConfig config;
  config.receive_buffer_bytes = 64;
  Harness h(config);
  h.printer.SetOffline(true);
  for (int i = 0; i < 10; ++i) h.Send(B("line 0123\n"));
  EXPECT_TRUE(h.sink.ops().empty());
  const PrinterStatus held = h.printer.Status();
  EXPECT_LE(held.buffered_bytes, 64u);
  EXPECT_EQ(held.buffered_bytes + held.lost_bytes, 100u);
  EXPECT_EQ(h.Send({0x10, 0x04, 0x01}), Bytes{0x1E});
  h.printer.SetOffline(false);
  EXPECT_EQ(h.printer.Status().buffered_bytes, 0u);
  const auto ops = h.sink.descriptions();
  ASSERT_GE(ops.size(), 6u);
  EXPECT_EQ(ops[0], "text a0 s30 cp0 [f0 1x1]line 0123");
  EXPECT_NE(h.printer.DecodedLog().find("receive buffer full"), std::string::npos);
}

TEST(PrintOutput, EscAtDiscardsTheUnprintedLineAndResetsModes) {
  Harness h;
  h.Send(
      B("\x1D!\x11\x1B"
        "a1\x1B\x33\x10gone\x1B@\nkept\n"));
  EXPECT_EQ(h.sink.descriptions(),
            (std::vector<std::string>{"text a0 s30 cp0", "text a0 s30 cp0 [f0 1x1]kept"}));
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/vprinter-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CaptureAndLog, FilesHoldEveryByteAndOneCommandALine) {
  TempDir dir;
  PrinterConfig config;
  config.capture_path = dir.File("capture.bin");
  config.log_path = dir.File("decoded.log");
  const Bytes stream = Cat({B("\x1B!\x08Hi\"\x01\n\x1Bz"), {0x10, 0x04, 0x01, 0x00}});
  std::string log;
  {
    Harness h(config);
    h.Send(Bytes(stream.begin(), stream.begin() + 5));
    h.Send(Bytes(stream.begin() + 5, stream.end()));
    h.printer.SetCoverOpen(true);
    EXPECT_EQ(h.printer.Capture(), stream);
    log = h.printer.DecodedLog();
  }
  const std::string captured = ReadFile(config.capture_path);
  EXPECT_EQ(Bytes(captured.begin(), captured.end()), stream);
  EXPECT_EQ(ReadFile(config.log_path), log);
  EXPECT_EQ(log,
            "1B 21 08  ESC ! 8  select print mode\n"
            "48 69 22  \"Hi\\\"\"  text\n"
            "01  ?  unknown control byte, skipped\n"
            "   ! unknown command, skipped\n"
            "0A  LF  print and line feed\n"
            "1B 7A  ESC 7A  unknown command, skipped\n"
            "   ! unknown command, skipped\n"
            "10 04 01  DLE EOT 1  real-time status\n"
            "<- 16  real-time status 1\n"
            "00  NUL  wake-up\n"
            "# cover open\n");
}

}  // namespace
}  // namespace vdev::testing
