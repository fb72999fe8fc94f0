// Two printer service objects in one process.
#include <gtest/gtest.h>

#include <filesystem>

#include "control_objects/opos_codes.h"
#include "platform/event.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

TEST(PortSharingTest, ASecondPrinterCannotClaimAClaimedPort) {
  PrinterRig rig;
  auto& device = rig.AddVirtualPrinter("ttyP0");
  // Two entries for one device, one through a second link to the same terminal.
  const std::string alias = rig.Dir() + "/alias";
  std::filesystem::create_symlink(device.attachment.LinkPath(), alias);
  rig.AddDeviceEntry("First", device.attachment.LinkPath());
  rig.AddDeviceEntry("Second", alias);
  auto first = OpenPrinter("First");
  auto second = OpenPrinter("Second");

  ASSERT_EQ(first->ClaimDevice(1000), opos::kSuccess);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(second->ClaimDevice(1000), opos::kTimeout);
  EXPECT_GE(platform::TickCountMs() - start, 1000u);
  EXPECT_TRUE(first->Claimed());

  EXPECT_EQ(first->ReleaseDevice(), opos::kSuccess);
  EXPECT_EQ(second->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(first->ClaimDevice(100), opos::kTimeout);
  EXPECT_EQ(second->Close(), opos::kSuccess);
  EXPECT_EQ(first->Close(), opos::kSuccess);
}

TEST(PortSharingTest, PrintersOnDifferentPortsClaimTogether) {
  PrinterRig rig;
  auto& one = rig.AddVirtualPrinter("ttyP0");
  auto& two = rig.AddVirtualPrinter("ttyP1");
  rig.AddDeviceEntry("One", one.attachment.LinkPath());
  rig.AddDeviceEntry("Two", two.attachment.LinkPath());
  auto a = OpenPrinter("One");
  auto b = OpenPrinter("Two");
  EXPECT_EQ(a->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(b->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(a->ReleaseDevice(), opos::kSuccess);
  EXPECT_TRUE(b->Claimed());
  EXPECT_EQ(b->ReleaseDevice(), opos::kSuccess);
}

}  // namespace
}  // namespace service_core::testing
