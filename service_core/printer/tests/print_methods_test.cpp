// Text, rotation, barcode and logo methods through the control object, checked against the
// bytes the virtual printer received and what it printed.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "control_objects/opos_codes.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

using platform::automation::Variant;

constexpr int32_t kPropBinaryConversion = 11;

class TextMethods : public ::testing::TestWithParam<bool> {};

TEST_P(TextMethods, ExactBytesDecodingAndRefusals) {
  PrintRig rig(GetParam());
  auto& p = rig.printer();

  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "ABC\n"), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput("ABC\n").size()), rig.PlainOutput("ABC\n"));

  // Nibbles "41 42 43 0:" and decimal groups with a caret for a leading zero.
  p.SetPropertyNumber(kPropBinaryConversion, 1);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "4142430:"), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput("ABC\n").size()), rig.PlainOutput("ABC\n"));
  p.SetPropertyNumber(kPropBinaryConversion, 2);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "065^66010"), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput("AB\n").size()), rig.PlainOutput("AB\n"));

  // Malformed data and wrong stations: refused, nothing sent.
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "06566"), opos::kIllegal);
  p.SetPropertyNumber(kPropBinaryConversion, 1);
  EXPECT_EQ(p.PrintNormal(2, "41424"), opos::kIllegal);
  EXPECT_EQ(rig.Call("ValidateData", {Variant(2), Variant(std::string("414"))}), opos::kIllegal);
  p.SetPropertyNumber(kPropBinaryConversion, 0);
  EXPECT_EQ(p.PrintNormal(1, "journal\n"), opos::kIllegal);
  EXPECT_EQ(p.PrintNormal(4, "slip\n"), opos::kIllegal);
  EXPECT_EQ(p.ResultCode(), opos::kIllegal);
  EXPECT_EQ(rig.Call("PrintTwoNormal", {Variant(2), Variant(std::string("a")),
                                        Variant(std::string("b"))}),
            opos::kIllegal);
  EXPECT_EQ(rig.Call("BeginInsertion", {Variant(1000)}), opos::kIllegal);
  EXPECT_EQ(rig.Call("EndRemoval", {}), opos::kIllegal);
  EXPECT_EQ(rig.Call("ValidateData", {Variant(7), Variant(std::string("ok\n"))}), 0);
  rig.ExpectNothingSentSinceMark();

  // Every cut is the same partial cut.
  rig.Mark();
  EXPECT_EQ(p.CutPaper(50), 0);
  EXPECT_EQ(p.CutPaper(100), 0);
  EXPECT_EQ(rig.Sent(4), "\x1Bm\x1Bm");
  rig.Wait(200);
  EXPECT_NE(rig.renderer().Transcript().find("ABC"), std::string::npos);
  EXPECT_NE(rig.renderer().Transcript().find("----- cut -----"), std::string::npos);

  // Disabled, then released: the checks come before anything else.
  p.SetDeviceEnabled(false);
  EXPECT_EQ(p.PrintNormal(2, "x\n"), opos::kDisabled);
  EXPECT_EQ(p.CutPaper(50), opos::kDisabled);
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), opos::kDisabled);
  EXPECT_EQ(p.PrintBarCode(2, "12345678901", 101, 50, 300, -2, -13), opos::kDisabled);
  EXPECT_EQ(rig.Call("SetLogo", {Variant(1), Variant(std::string("x"))}), opos::kDisabled);
  EXPECT_EQ(rig.Call("BeginRemoval", {Variant(0)}), opos::kIllegal);
  EXPECT_EQ(p.ReleaseDevice(), 0);
  EXPECT_EQ(p.PrintNormal(2, "x\n"), opos::kNotClaimed);
  EXPECT_EQ(rig.Call("ValidateData", {Variant(2), Variant(std::string("x"))}), opos::kNotClaimed);
  EXPECT_EQ(rig.Call("EndInsertion", {}), opos::kNotClaimed);
  EXPECT_EQ(p.TransactionPrint(2, 11), opos::kNotClaimed);
}

INSTANTIATE_TEST_SUITE_P(BothModels, TextMethods, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Thermal" : "DotMatrix"; });

TEST(RotatePrint, HeldBackTextScaleLinesAndPageSize) {
  PrintRig rig(true);
  auto& p = rig.printer();
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), 0);
  EXPECT_EQ(rig.Sent(5), "\x1BL\x1BT1");

  // Without a line end the text is held back, even for a station the printer lacks; the
  // scale asks for one blank line in front of the block.
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "\x1B|4C"), 0);
  EXPECT_EQ(p.PrintNormal(1, ""), 0);
  EXPECT_EQ(p.PrintNormal(2, "big\n"), 0);
  const std::string sent = rig.SentEndingWith(kResetPrefix42 + "big\n");
  EXPECT_EQ(sent.substr(0, 1 + kResetPrefix42.size()), "\n" + kResetPrefix42);
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(1)}), 0);

  // A block whose widest line is 30 columns: its page is 720 dots long.
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), 0);
  const std::string line(30, 'r');
  EXPECT_EQ(p.PrintNormal(2, line + "\n"), 0);
  rig.SentEndingWith(kResetPrefix42 + line + "\n");
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(1)}), 0);
  EXPECT_EQ(rig.Sent(14), std::string("\x1BW\0\0\0\0\0\x02\xD0\x02\x1B\x0C\x1BS", 14));
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(259)}), 0);
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(1), Variant(258)}), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();
  EXPECT_EQ(p.CutPaper(0), 0);
  EXPECT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  EXPECT_NE(rig.renderer().Transcript().find("[page mode, rotated"), std::string::npos);
  EXPECT_NE(rig.renderer().Transcript().find(line), std::string::npos);
}

TEST(RotatePrint, RefusedOnTheDotMatrixModel) {
  PrintRig rig(false);
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();
}

TEST(PrintBarCode, ExactCommandRenderedAndRefusals) {
  PrintRig rig(true);
  auto& p = rig.printer();
  rig.Mark();
  EXPECT_EQ(p.PrintBarCode(2, "03600029145", 101, 50, 300, -2, -13), 0);
  const std::string upc =
      "\x1D" "f0\x1Dw\x03\x1Dh\x33\x1B" "a1\x1DH2\x1Dk\x41\x0B" "03600029145";
  EXPECT_EQ(rig.Sent(upc.size()), upc);

  // Refused: unknown or refused symbology, wrong lengths, width over the line, stations.
  rig.Mark();
  EXPECT_EQ(p.PrintBarCode(2, "12345", 105, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "12345", 999, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "1234567890", 101, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "1234567", 106, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "12345678901", 102, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "03600029145", 101, 50, 513, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(1, "03600029145", 101, 50, 300, -2, -13), opos::kIllegal);
  EXPECT_EQ(p.PrintBarCode(2, "03600029145", 101, 50, 300, -2, -14), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();

  rig.Mark();
  EXPECT_EQ(p.PrintBarCode(2, "CODE39", 108, 300, 400, -1, -12), 0);
  const std::string code39 = "\x1D" "f0\x1Dw\x03\x1Dh\xFF\x1B" "a0\x1DH1\x1Dk\x45\x06" "CODE39";
  EXPECT_EQ(rig.Sent(code39.size()), code39);
  EXPECT_EQ(p.CutPaper(100), 0);
  EXPECT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  const std::string transcript = rig.renderer().Transcript();
  EXPECT_NE(transcript.find("\"03600029145\" hri below"), std::string::npos) << transcript;
  EXPECT_NE(transcript.find("\"CODE39\" hri above"), std::string::npos) << transcript;
  EXPECT_EQ(transcript.find("not printed"), std::string::npos) << transcript;

  PrintRig dot_matrix(false);
  dot_matrix.Mark();
  EXPECT_EQ(dot_matrix.printer().PrintBarCode(2, "03600029145", 101, 50, 300, -2, -13),
            opos::kIllegal);
  dot_matrix.ExpectNothingSentSinceMark();
}

// Each character set the application can choose reaches the preview as that table.
TEST(CharacterSet, PreviewDrawsTheChosenTable) {
  PrintRig rig(true);
  auto& p = rig.printer();
  const std::pair<int32_t, std::string> sets[] = {
      {437, "\xE1"}, {850, "\x9B"}, {858, "\xD5"}, {860, "\x84"}, {863, "\x84"}, {865, "\x9D"}};
  for (const auto& [set, byte] : sets) {
    p.SetPropertyNumber(8002, set);
    EXPECT_EQ(p.ResultCode(), 0) << set;
    EXPECT_EQ(p.PrintNormal(2, std::to_string(set) + " " + byte + "\n"), 0);
  }
  EXPECT_EQ(p.CutPaper(100), 0);
  EXPECT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  const std::string transcript = rig.renderer().Transcript();
  EXPECT_NE(transcript.find("437 ß\n850 ø\n858 €\n860 ã\n863 Â\n865 Ø\n"), std::string::npos)
      << transcript;
}

TEST(SetLogo, StoredTranslatedAndInsertedByPrintData) {
  PrintRig rig(true);
  auto& p = rig.printer();
  rig.Mark();
  EXPECT_EQ(rig.Call("SetLogo", {Variant(1), Variant(std::string("\x1B|cATOP SHOP\n"))}), 0);
  EXPECT_EQ(rig.Call("SetLogo", {Variant(3), Variant(std::string("x"))}), opos::kIllegal);
  EXPECT_EQ(rig.Call("SetLogo", {Variant(2), Variant(std::string(2000, 'x'))}), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();

  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "\x1B|tLitem\n"), 0);
  const std::string expected = rig.PlainOutput("\x1B" "a1TOP SHOP\nitem\n");
  EXPECT_EQ(rig.Sent(expected.size()), expected);
}

}  // namespace
}  // namespace service_core::testing
