// A printer link and a drawer link on one virtual printer: one handle, the drawer taking
// the printer's view while the printer's monitor runs, and the handle passing on.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/event.h"
#include "printer_port.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core {
namespace {

struct Drawer : PortUser {
  int level = 1;
  int DrawerOpenLevel() const override { return level; }
};

struct Printer : PortUser {
  bool OutputPending() const override { return pending; }
  uint64_t LastOutputMs() const override { return last_output; }
  bool pending = false;
  uint64_t last_output = 0;
};

class DrawerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "drawer-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    attachment_ = std::make_unique<vdev::PtyAttachment>(virtual_printer_, dir_ + "/ttyV");
    std::string error;
    ASSERT_TRUE(attachment_->Start(error)) << error;
    printer_link_.SetDeviceName("Thermal42");
    printer_link_.SetPrinter(&printer_);
    drawer_link_.SetDeviceName("StandardS");
    drawer_link_.SetDrawer(&drawer_);
  }
  void TearDown() override {
    printer_link_.ClosePort();
    drawer_link_.ClosePort();
    attachment_->Stop();
    std::filesystem::remove_all(dir_);
  }
  int OpenAndConnect(CPrinterPort& link) {
    if (!link.OpenPort(attachment_->LinkPath(), 6, 0, 1)) return -1;
    return link.ConnectPrinter(1000);
  }
  std::string dir_;
  vdev::VirtualPrinter virtual_printer_;
  std::unique_ptr<vdev::PtyAttachment> attachment_;
  Printer printer_;
  Drawer drawer_;
  CPrinterPort printer_link_;
  CPrinterPort drawer_link_;
};

TEST_F(DrawerLinkTest, TheDrawerSharesThePrintersHandleAndInheritsIt) {
  ASSERT_EQ(OpenAndConnect(printer_link_), kPortReady);
  ASSERT_EQ(OpenAndConnect(drawer_link_), kPortReady);
  EXPECT_TRUE(printer_link_.IsOwner());
  EXPECT_FALSE(drawer_link_.IsOwner());
  EXPECT_EQ(drawer_link_.Printer(), &printer_);
  EXPECT_EQ(printer_link_.Drawer(), &drawer_);

  // The drawer sees the printer's state through the printer's link.
  printer_.pending = true;
  printer_.last_output = 1234;
  auto shared = drawer_link_.SharingPrinter();
  ASSERT_TRUE(shared);
  EXPECT_TRUE(shared->connected);
  EXPECT_TRUE(shared->output_pending);
  EXPECT_EQ(shared->last_output_ms, 1234u);
  virtual_printer_.SetDrawerOpen(true);
  const uint64_t deadline = platform::TickCountMs() + 5000;
  while (drawer_link_.SharingPrinter()->drawer_state != 1 && platform::TickCountMs() < deadline)
    platform::SleepMs(50);
  EXPECT_EQ(drawer_link_.SharingPrinter()->drawer_state, 1);  // pin 3 low: open

  // A second drawer cannot join; the printer can leave and the drawer keeps the handle.
  CPrinterPort second;
  second.SetDeviceName("StandardS");
  EXPECT_EQ(second.OpenPort(attachment_->LinkPath(), 6, 0, 1), 0);
  printer_link_.ClosePort();
  EXPECT_TRUE(drawer_link_.IsOwner());
  EXPECT_EQ(drawer_link_.Printer(), nullptr);
  EXPECT_FALSE(drawer_link_.SharingPrinter());
  // Asking the printer itself, past the status blocks it still sends.
  EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortReady);
  EXPECT_EQ(drawer_link_.DrawerState(), 1);
  virtual_printer_.SetDrawerOpen(false);
  EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortReady);
  EXPECT_EQ(drawer_link_.DrawerState(), 0);
  const uint8_t kick[] = {0x1B, 0x70, 0x30, 0x64, 0xC8};
  EXPECT_EQ(drawer_link_.WritePort(kick, sizeof kick), 1);

  // The printer comes back (a link forgets its service objects when it closes) and joins
  // the drawer's handle.
  printer_link_.SetPrinter(&printer_);
  ASSERT_EQ(OpenAndConnect(printer_link_), kPortReady);
  EXPECT_FALSE(printer_link_.IsOwner());
  EXPECT_EQ(printer_link_.Drawer(), &drawer_);
  EXPECT_EQ(drawer_link_.Printer(), &printer_);
  ASSERT_TRUE(drawer_link_.SharingPrinter());
}

TEST_F(DrawerLinkTest, ADrawerAloneReadsPinThreeWithEitherLevelAlsoWhileOffline) {
  ASSERT_EQ(OpenAndConnect(drawer_link_), kPortReady);
  EXPECT_TRUE(drawer_link_.IsOwner());
  for (int level : {1, 0}) {
    SCOPED_TRACE(level);
    drawer_.level = level;
    virtual_printer_.SetPin3OpenLevel(level ? vdev::Pin3Level::Low : vdev::Pin3Level::High);
    for (bool open : {true, false}) {
      virtual_printer_.SetDrawerOpen(open);
      virtual_printer_.SetCoverOpen(false);
      EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortReady);
      EXPECT_EQ(drawer_link_.DrawerState(), open ? 1 : 0);
      // Offline: reported as a failure, and the drawer is still read.
      virtual_printer_.SetCoverOpen(true);
      virtual_printer_.SetDrawerOpen(!open);
      EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortNoAnswer);
      EXPECT_TRUE(drawer_link_.Offline());
      EXPECT_TRUE(drawer_link_.RecentError());
      EXPECT_EQ(drawer_link_.DrawerState(), open ? 0 : 1);
    }
  }
  virtual_printer_.SetCoverOpen(false);
  EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortReady);
  EXPECT_FALSE(drawer_link_.RecentError());
  virtual_printer_.SetAnswering(false);
  EXPECT_EQ(drawer_link_.GetPrinterStatus(), kPortNoAnswer);
  EXPECT_FALSE(drawer_link_.Offline());
}

}  // namespace
}  // namespace service_core
