// A serial device that goes away while claimed (a USB-serial adapter unplugged, the virtual
// printer stopped) is a printer without power, and printing works again once it is back.
#include <gtest/gtest.h>

#include <algorithm>

#include "control_objects/opos_codes.h"
#include "platform/message_queue.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

TEST(DeviceGone, ReportedAsPowerOffAndReopenedWhenItReturns) {
  PrinterRig rig;
  VirtualPrinterOnPty& device = rig.AddVirtualPrinter("ttyUSB0");
  rig.AddDeviceEntry("Receipt1", device.attachment.LinkPath(), "Thermal42", "", "Unit1");
  auto printer = OpenPrinter("Unit1");
  std::vector<int32_t> statuses;
  printer->on_status_update = [&](int32_t status) { statuses.push_back(status); };
  ASSERT_EQ(printer->ClaimDevice(1000), 0);
  printer->SetPropertyNumber(13, 1);  // PowerNotify
  printer->SetDeviceEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return printer->GetPropertyNumber(14) == 2001; }));

  device.attachment.Stop();
  EXPECT_TRUE(PumpUntil([&] { return printer->GetPropertyNumber(14) == 2004; }));
  // The event follows the property through the delivery thread.
  EXPECT_TRUE(PumpUntil(
      [&] { return std::find(statuses.begin(), statuses.end(), 2004) != statuses.end(); }));
  EXPECT_EQ(printer->PrintNormal(2, "lost\n"), opos::kFailure);

  std::string error;
  ASSERT_TRUE(device.attachment.Start(error)) << error;
  EXPECT_TRUE(PumpUntil([&] { return printer->GetPropertyNumber(14) == 2001; }, 10000));
  const size_t before = device.printer.Capture().size();
  EXPECT_TRUE(PumpUntil([&] { return printer->PrintNormal(2, "back\n") == 0; }, 5000));
  EXPECT_TRUE(PumpUntil([&] {
    const auto capture = device.printer.Capture();
    return std::search(capture.begin() + before, capture.end(), std::begin("back\n"),
                       std::end("back\n") - 1) != capture.end();
  }));
  printer->Close();
}

}  // namespace
}  // namespace service_core::testing
