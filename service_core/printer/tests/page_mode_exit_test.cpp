// Sideways printing holds the printer in page mode until the rotation ends. When the service
// object drops a rotation that is still held (release, ClearOutput), the printer must leave
// page mode too, or everything printed afterwards lands inside the sideways block.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

using platform::automation::Variant;

bool PrinterInPageMode(PrintRig& rig) { return rig.device().printer.Status().page_mode; }

TEST(PageModeExit, ReleaseAndClaimLeaveNoSidewaysBlockOpen) {
  PrintRig rig(true);
  auto& p = rig.printer();
  ASSERT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(258)}), 0);
  ASSERT_EQ(p.PrintNormal(2, "sideways"), 0);
  ASSERT_TRUE(PumpUntil([&] { return PrinterInPageMode(rig); }));
  ASSERT_EQ(p.ReleaseDevice(), 0);
  ASSERT_EQ(p.ClaimDevice(1000), 0);
  p.SetDeviceEnabled(true);
  rig.Mark();
  ASSERT_EQ(p.PrintNormal(2, "upright\n"), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput("upright\n").size()), rig.PlainOutput("upright\n"));
  PrintRig::Wait(200);
  EXPECT_FALSE(PrinterInPageMode(rig));
  EXPECT_EQ(p.CutPaper(100), 0);
  ASSERT_TRUE(PumpUntil([&] { return rig.renderer().ReceiptCount() > 0; }));
  EXPECT_NE(rig.renderer().Transcript().find("upright"), std::string::npos)
      << rig.renderer().Transcript();
}

TEST(PageModeExit, ClearOutputDropsTheHeldRotation) {
  PrintRig rig(true);
  auto& p = rig.printer();
  ASSERT_EQ(rig.Call("RotatePrint", {Variant(2), Variant(257)}), 0);
  ASSERT_EQ(p.PrintNormal(2, "held back"), 0);
  ASSERT_TRUE(PumpUntil([&] { return PrinterInPageMode(rig); }));
  ASSERT_EQ(p.ClearOutput(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !PrinterInPageMode(rig); }));
  rig.Mark();
  // Normal printing again: no held-back text in front, no page around it.
  ASSERT_EQ(p.PrintNormal(2, "upright\n"), 0);
  EXPECT_EQ(rig.Sent(rig.PlainOutput("upright\n").size()), rig.PlainOutput("upright\n"));
  EXPECT_FALSE(PrinterInPageMode(rig));
}

}  // namespace
}  // namespace service_core::testing
