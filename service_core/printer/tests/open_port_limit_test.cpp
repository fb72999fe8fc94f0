// The process keeps at most four ports open at once; a fifth printer waits for its claim
// time-out, and gets its port once another one is released.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

TEST(OpenPortLimit, AFifthPortWaitsUntilOneOfTheFourIsReleased) {
  PrinterRig rig;
  std::vector<opos::control::ObjectRef<opos::control::POSPrinter>> printers;
  for (int i = 0; i < 5; ++i) {
    const std::string name = "Unit" + std::to_string(i);
    auto& device = rig.AddVirtualPrinter("ttyP" + std::to_string(i));
    rig.AddDeviceEntry("Receipt" + std::to_string(i), device.attachment.LinkPath(), "Thermal42",
                       "", name);
    printers.push_back(OpenPrinter(name));
  }
  for (int i = 0; i < 4; ++i) ASSERT_EQ(printers[i]->ClaimDevice(1000), opos::kSuccess) << i;
  EXPECT_EQ(printers[4]->ClaimDevice(1000), opos::kTimeout);
  EXPECT_FALSE(printers[4]->Claimed());
  ASSERT_EQ(printers[2]->ReleaseDevice(), opos::kSuccess);
  EXPECT_EQ(printers[4]->ClaimDevice(1000), opos::kSuccess);
  for (auto& printer : printers) printer->Close();
}

}  // namespace
}  // namespace service_core::testing
