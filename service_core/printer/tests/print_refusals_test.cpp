// Print calls at their limits: what a call refuses it must leave exactly as it was, and
// what it accepts it must print whole.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

using platform::automation::Variant;

int32_t Validate(PrintRig& rig, const std::string& data) {
  return rig.Call("ValidateData", {Variant(2), Variant(data)});
}

// 32 767 bytes of translated text are allowed whatever PrintNormal puts in front of them,
// and PrintNormal and ValidateData draw the line at the same place.
TEST(PrintLimits, FullTranslatedTextPrintsAndValidatesAlike) {
  PrintRig rig(true);
  auto& p = rig.printer();
  const std::string longest = "\n" + std::string(32750, 'a');
  EXPECT_EQ(Validate(rig, longest), 0);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, longest), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput(longest).size()), rig.PlainOutput(longest));

  // "\x1B|9lF" is nine line feeds: 32 758 + 9 bytes fit, 32 759 + 9 do not.
  const std::string at_limit = std::string(32758, 'b') + "\x1B|9lF";
  const std::string over_limit = std::string(32759, 'b') + "\x1B|9lF";
  EXPECT_EQ(Validate(rig, at_limit), 0);
  EXPECT_EQ(Validate(rig, over_limit), opos::kIllegal);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, over_limit), opos::kIllegal);
  rig.ExpectNothingSentSinceMark();
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, at_limit), 0);
  const std::string expected = rig.PlainOutput(std::string(32758, 'b') + std::string(9, '\n'));
  EXPECT_EQ(rig.Sent(expected.size()), expected);
}

// A sideways block too long to send is refused as a whole: the text held back before it
// and its blank lines stay, and a later short line prints them.
TEST(PrintLimits, RefusedSidewaysBlockKeepsHeldBackText) {
  PrintRig rig(true);
  auto& p = rig.printer();
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), 0);
  EXPECT_EQ(rig.Sent(5), "\x1BL\x1BT1");
  const std::string bs(20000, 'b');
  EXPECT_EQ(p.PrintNormal(2, "\x1B|4C" + bs), 0);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, std::string(20000, 'c') + "\n"), opos::kIllegal);
  EXPECT_EQ(p.ResultCode(), opos::kIllegal);
  rig.Mark();
  EXPECT_EQ(p.PrintNormal(2, "end\n"), 0);
  const std::string block = "\n" + kResetPrefix42 + "\x1B!p" + bs + kResetPrefix42 + "end\n";
  EXPECT_EQ(rig.Sent(block.size()), block);

  // Held-back text that no later line could complete is refused when it is offered.
  EXPECT_EQ(p.PrintNormal(2, std::string(20000, 'd')), 0);
  EXPECT_EQ(p.PrintNormal(2, std::string(12770, 'd')), opos::kIllegal);
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(1)}), 0);
}

// A call the send routine refuses leaves the column state alone: the refused line does not
// size the sideways page.
TEST(PrintLimits, RefusedSendLeavesColumnsAlone) {
  PrintRig rig(true);
  auto& p = rig.printer();
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), 0);
  EXPECT_EQ(rig.Sent(5), "\x1BL\x1BT1");
  EXPECT_EQ(p.PrintNormal(1, std::string(30, 'w') + "\n"), opos::kIllegal);
  EXPECT_EQ(p.PrintNormal(2, "ab\n"), 0);
  rig.SentEndingWith(kResetPrefix42 + "ab\n");
  rig.Mark();
  EXPECT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(1)}), 0);
  // Two columns: 48 dots.
  EXPECT_EQ(rig.Sent(14), std::string("\x1BW\0\0\0\0\0\x02\x30\x00\x1B\x0C\x1BS", 14));
}

// Data the symbology cannot encode is refused before anything reaches the printer.
TEST(PrintBarCodeData, UnencodableDataRefusedAndNothingSent) {
  PrintRig rig(true);
  auto& p = rig.printer();
  struct Case {
    int32_t symbology;
    std::string data;
  };
  const Case cases[] = {
      {101, "0360002914A"},  {102, "0123456789x"}, {103, "123456A"},
      {104, "12345678901B"}, {106, "12AB"},        {106, ""},
      {108, "code39"},       {108, ""},            {109, "ab\xE9"},
      {107, "xyz!!"},        {107, ""},            {110, "ab\xFF"},
  };
  rig.Mark();
  for (const Case& c : cases) {
    EXPECT_EQ(p.PrintBarCode(2, c.data, c.symbology, 50, 400, -2, -13), opos::kIllegal)
        << c.symbology << " " << c.data;
  }
  rig.ExpectNothingSentSinceMark();
  rig.Mark();
  EXPECT_EQ(p.PrintBarCode(2, "A40156B", 107, 50, 400, -2, -13), 0);
  EXPECT_EQ(p.PrintBarCode(2, "*CODE-39*", 108, 50, 400, -2, -13), 0);
  EXPECT_EQ(p.CutPaper(100), 0);
  EXPECT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  const std::string transcript = rig.renderer().Transcript();
  EXPECT_EQ(transcript.find("not printed"), std::string::npos) << transcript;
}

}  // namespace
}  // namespace service_core::testing
