// Bitmaps, stored-bitmap slots and transactions through the control object, checked
// against the bytes the virtual printer received and what it printed.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "bmp_builder.h"
#include "control_objects/opos_codes.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

using print_data::testing::BmpLayout;
using print_data::testing::BuildBmp;
using print_data::testing::PutU32;

std::string WriteFile(const std::string& dir, const std::string& name, const std::string& bytes) {
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A 1-bit image with a diagonal stripe pattern, so slices differ.
std::string StripedBmp(int32_t width, int32_t height) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixel = [](int32_t x, int32_t y) { return (x + y) % 7 < 3; };
  return BuildBmp(layout);
}

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
    ++n;
  return n;
}

TEST(PrintBitmap, ThermalDownloadThenPrintAndRendering) {
  PrintRig rig(true);
  const std::string file = WriteFile(rig.Dir(), "logo.bmp", StripedBmp(384, 96));
  rig.Mark();
  // Width 200 dots: m = 99, 198 dots wide printed normal: 25 byte columns, 50 dots tall.
  ASSERT_EQ(rig.printer().PrintBitmap(2, file, 200, -2), 0);
  const size_t data = 25 * 8 * 7;
  const std::string sent = rig.Sent(4 + data + 9);
  ASSERT_EQ(sent.size(), 4 + data + 9);
  EXPECT_EQ(sent.substr(0, 4), "\x1D*\x19\x07");
  EXPECT_EQ(sent.substr(4 + data), "\x1B" "a1\x1D/0\x1B" "a0");
  EXPECT_EQ(rig.printer().CutPaper(100), 0);
  EXPECT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  EXPECT_NE(rig.renderer().Transcript().find("[image 200x56"), std::string::npos)
      << rig.renderer().Transcript();
}

TEST(PrintBitmap, DotMatrixBandsOfAWideImage) {
  PrintRig rig(false);
  const std::string file = WriteFile(rig.Dir(), "wide.bmp", StripedBmp(300, 16));
  rig.Mark();
  ASSERT_EQ(rig.printer().PrintBitmap(2, file, -11, -1), 0);
  // As is: 300 dots wide, half as tall (8 rows): one band.
  const std::string band_head = "\x1B*\x01\x2C\x01";
  const std::string expected_tail = "\n\x1B\x33\x19\x1B" "a0";
  const std::string sent = rig.Sent(6 + 5 + 300 + expected_tail.size());
  EXPECT_EQ(sent.substr(0, 6), "\x1B" "a0\x1B\x33\x10");
  EXPECT_EQ(sent.substr(6, 5), band_head);
  EXPECT_EQ(sent.substr(6 + 5 + 300), expected_tail);
}

TEST(PrintBitmap, MalformedFilesAreRefusedAndSendNothing) {
  PrintRig rig(true);
  auto& p = rig.printer();
  const std::string good = StripedBmp(64, 32);
  std::string colour = good;
  colour[28] = 24;  // bits per pixel
  std::string not_bm = good;
  not_bm[0] = 'X';
  std::string offset_outside = good;
  PutU32(offset_outside, 10, 1u << 30);
  std::string rows_outside = good;
  PutU32(rows_outside, 22, 4000);  // height: rows beyond the file
  std::string wide_header = good;
  PutU32(wide_header, 18, 70000);  // width over the largest side

  struct Case {
    std::string name, bytes;
    int32_t width;
    int32_t result, extended;
  };
  const std::vector<Case> cases = {
      {"truncated", good.substr(0, 40), -11, opos::kIllegal, 0},
      {"offset", offset_outside, -11, opos::kIllegal, 0},
      {"rows", rows_outside, -11, opos::kIllegal, 0},
      {"colour", colour, -11, opos::kExtended, 207},
      {"notbm", not_bm, -11, opos::kExtended, 207},
      {"hugeside", wide_header, -11, opos::kExtended, 206},
      {"huge", StripedBmp(800, 800), -11, opos::kExtended, 206},
      {"widthoverline", good, 600, opos::kIllegal, 0},
  };
  rig.Mark();
  for (const Case& c : cases) {
    const std::string file = WriteFile(rig.Dir(), c.name + ".bmp", c.bytes);
    EXPECT_EQ(p.PrintBitmap(2, file, c.width, -2), c.result) << c.name;
    EXPECT_EQ(p.ResultCodeExtended(), c.extended) << c.name;
    EXPECT_EQ(p.SetBitmap(1, 2, file, c.width, -2), c.result) << c.name;
  }
  EXPECT_EQ(p.PrintBitmap(2, rig.Dir() + "/missing.bmp", -11, -2), opos::kIllegal);
  EXPECT_EQ(p.PrintBitmap(2, std::string(300, 'a'), -11, -2), opos::kIllegal);
  const std::string file = WriteFile(rig.Dir(), "good.bmp", good);
  EXPECT_EQ(p.PrintBitmap(1, file, -11, -2), opos::kIllegal);
  EXPECT_EQ(p.SetBitmap(3, 2, file, -11, -2), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();

  PrintRig dot_matrix(false);
  dot_matrix.Mark();
  EXPECT_EQ(dot_matrix.printer().SetBitmap(1, 2, file, -11, -2), opos::kIllegal);
  dot_matrix.ExpectNothingSentSinceMark();
}

// The printer holds one downloaded image: whatever replaces it makes the next reference to
// a stored bitmap download it again.
TEST(SetBitmap, SlotsDownloadAgainAfterAnythingReplacedTheImage) {
  PrintRig rig(true);
  auto& p = rig.printer();
  const std::string first = WriteFile(rig.Dir(), "one.bmp", StripedBmp(64, 32));
  const std::string second = WriteFile(rig.Dir(), "two.bmp", StripedBmp(128, 16));
  const std::string download1 = "\x1D*\x08\x04";  // 64 x 32 as is
  const std::string print1 = "\x1B" "a0\x1D/3\x1B" "a0";  // left, RecLetterQuality 0

  rig.Mark();
  ASSERT_EQ(p.SetBitmap(1, 2, first, -11, -1), 0);
  ASSERT_EQ(rig.Sent(4 + 256).substr(0, 4), download1);
  ASSERT_EQ(p.SetBitmap(2, 2, second, -11, -3), 0);
  const size_t slots_bytes = 4 + 256 + 4 + 256;
  ASSERT_EQ(rig.Sent(slots_bytes).size(), slots_bytes);

  const size_t text = rig.PlainOutput("").size();
  auto print_reference = [&](const std::string& data, size_t at_least) {
    rig.Mark();
    EXPECT_EQ(p.PrintNormal(2, data), 0);
    return rig.Sent(text + at_least);
  };
  // Slot 2 is in the printer: slot 1 goes down again first.
  std::string sent = print_reference("\x1B|1B\n", 4 + 256 + 10);
  EXPECT_EQ(Count(sent, download1), 1u);
  EXPECT_EQ(sent.substr(sent.size() - 10), print1 + "\n");
  sent = print_reference("\x1B|1B\n", 10);
  EXPECT_EQ(sent, rig.PlainOutput(print1 + "\n"));
  EXPECT_EQ(Count(sent, download1), 0u);

  // PrintBitmap overwrites the image area.
  ASSERT_EQ(p.PrintBitmap(2, second, -11, -2), 0);
  sent = print_reference("\x1B|1B\n", 4 + 256 + 10);
  EXPECT_EQ(Count(sent, download1), 1u);

  // Power loss empties it too.
  rig.device().Set("power off");
  rig.Wait(1500);
  rig.device().Set("power on");
  bool printed = false;
  for (int i = 0; i < 50 && !printed; ++i) {
    rig.Mark();
    printed = p.PrintNormal(2, "\x1B|1B\n") == 0;
    if (!printed) rig.Wait(200);
  }
  ASSERT_TRUE(printed);
  sent = rig.SentEndingWith(print1 + "\n");
  EXPECT_EQ(Count(sent, download1), 1u);

  // An empty slot's reference vanishes; the rest prints.
  ASSERT_EQ(p.ReleaseDevice(), 0);
  ASSERT_EQ(p.ClaimDevice(1000), 0);
  p.SetDeviceEnabled(true);
  sent = print_reference("\x1B|2Bafter\n", 6);
  EXPECT_EQ(sent, rig.PlainOutput("after\n"));
}

class Transactions : public ::testing::TestWithParam<bool> {};

TEST_P(Transactions, NothingBeforeTheEndThenAllInOrder) {
  PrintRig rig(GetParam());
  auto& p = rig.printer();
  rig.Mark();
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "first\n"), 0);
  ASSERT_EQ(p.PrintBarCode(2, "03600029145", 101, 50, 300, -2, -13), rig.thermal() ? 0 : 106);
  EXPECT_EQ(p.TransactionPrint(2, 13), opos::kIllegal);
  EXPECT_EQ(p.TransactionPrint(1, 12), opos::kIllegal);
  ASSERT_EQ(p.PrintNormal(2, "second\n"), 0);  // still collected
  rig.Wait(500);
  EXPECT_EQ(rig.Sent(0), "");

  const std::string barcode =
      rig.thermal() ? "\x1D" "f0\x1Dw\x03\x1Dh\x33\x1B" "a1\x1DH2\x1Dk\x41\x0B" "03600029145" : "";
  const std::string expected = rig.PlainOutput("first\n") + barcode +
                               rig.PlainOutput("second\n") +
                               (rig.thermal() ? kCompletionRequest : "");
  EXPECT_EQ(p.TransactionPrint(2, 12), 0);
  EXPECT_EQ(rig.Sent(expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(BothModels, Transactions, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Thermal" : "DotMatrix"; });

TEST(Transactions, FailedFlushKeepsJobsUntilClearOutput) {
  PrintRig rig(true);
  auto& p = rig.printer();
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "kept\n"), 0);
  rig.device().Set("cover open");
  rig.Wait(1500);
  rig.Mark();
  EXPECT_EQ(p.TransactionPrint(2, 12), opos::kExtended);
  EXPECT_EQ(p.ResultCodeExtended(), 201);

  // Without ClearOutput the kept jobs print with the next flush.
  // The link asks the recovering printer for its status blocks again: wait until it did.
  rig.device().Set("cover close");
  rig.Wait(2000);
  rig.Mark();
  EXPECT_EQ(p.TransactionPrint(2, 12), 0);
  const std::string kept = rig.PlainOutput("kept\n") + kCompletionRequest;
  EXPECT_EQ(rig.Sent(kept.size()), kept);

  // Failing again, then ClearOutput: the next transaction starts empty.
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "dropped\n"), 0);
  rig.device().Set("paper out");
  rig.Wait(1500);
  EXPECT_EQ(p.TransactionPrint(2, 12), opos::kExtended);
  EXPECT_EQ(p.ResultCodeExtended(), 203);
  rig.device().Set("paper in");
  rig.Wait(2000);
  EXPECT_EQ(p.ClearOutput(), 0);
  rig.Mark();
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "fresh\n"), 0);
  EXPECT_EQ(p.TransactionPrint(2, 12), 0);
  const std::string fresh = rig.PlainOutput("fresh\n") + kCompletionRequest;
  EXPECT_EQ(rig.Sent(fresh.size()), fresh);
}

TEST(Transactions, AsynchronousFlushIsOneRequest) {
  PrintRig rig(true);
  auto& p = rig.printer();
  std::vector<int32_t> completed;
  p.on_output_complete = [&](int32_t id) { completed.push_back(id); };
  p.SetAsyncMode(true);
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "one\n"), 0);
  ASSERT_EQ(p.PrintNormal(2, "two\n"), 0);
  rig.Mark();
  ASSERT_EQ(p.TransactionPrint(2, 12), 0);
  ASSERT_TRUE(PumpUntil([&] { return !completed.empty(); }, 15000));
  rig.Wait(300);
  EXPECT_EQ(completed, std::vector<int32_t>{1});
  const std::string text = rig.PlainOutput("one\n") + rig.PlainOutput("two\n");
  EXPECT_EQ(rig.Sent(text.size()).substr(0, text.size()), text);
}

}  // namespace
}  // namespace service_core::testing
