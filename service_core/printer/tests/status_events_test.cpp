// Status monitoring against the virtual printer: what enabling reports, cover, paper and
// power changes (each once), the properties that go with them, and silence while disabled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_objects/opos_codes.h"
#include "platform/message_queue.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

using opos::control::POSPrinter;
using Statuses = std::vector<int32_t>;

// Long enough for two more poll rounds after the last change, to catch repeats.
constexpr uint32_t kQuietMs = 1500;

// The properties the application reads while it handles a status update.
struct Seen {
  int32_t status, cover_open, rec_empty, power_state, error_level;
  std::string error_string;
  bool operator==(const Seen&) const = default;
};

class StatusEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("Receipt1", device_->attachment.LinkPath(), "Thermal42", "", "Unit1");
    printer_ = OpenPrinter("Unit1");
    printer_->on_status_update = [this](int32_t data) {
      seen_.push_back({data, printer_->GetPropertyNumber(8003), printer_->GetPropertyNumber(8014),
                       printer_->GetPropertyNumber(14), printer_->GetPropertyNumber(8035),
                       printer_->GetPropertyString(1008005)});
    };
  }
  void TearDown() override {
    printer_->Close();
    printer_ = {};
  }

  void ClaimAndEnable(bool power_notify) {
    ASSERT_EQ(printer_->ClaimDevice(1000), 0);
    printer_->SetPropertyNumber(13, power_notify ? 1 : 0);
    ASSERT_EQ(printer_->ResultCode(), 0);
    printer_->SetDeviceEnabled(true);
    ASSERT_EQ(printer_->ResultCode(), 0);
  }

  // The status updates that arrive from now on: waits for `count` of them, then a while
  // longer so that a repeated one shows too.
  Statuses Next(size_t count) {
    const size_t start = seen_.size();
    PumpUntil([&] { return seen_.size() >= start + count; }, 8000);
    platform::PumpMessages(kQuietMs);
    Statuses got;
    for (size_t i = start; i < seen_.size(); ++i) got.push_back(seen_[i].status);
    return got;
  }
  const Seen& Last() const { return seen_.back(); }

  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
  opos::control::ObjectRef<POSPrinter> printer_;
  std::vector<Seen> seen_;
};

TEST_F(StatusEventsTest, EnablingReportsPowerCoverAndPaperOnceInOrder) {
  ClaimAndEnable(true);
  EXPECT_EQ(Next(3), (Statuses{2001, 12, 26}));
  ASSERT_EQ(seen_.size(), 3u);
  EXPECT_EQ(seen_[0], (Seen{2001, 0, 0, 2001, 1, ""}));
  EXPECT_EQ(printer_->GetPropertyNumber(14), 2001);
}

TEST_F(StatusEventsTest, WithoutPowerNotifyOnlyCoverAndPaperAndPowerStaysUnknown) {
  ClaimAndEnable(false);
  EXPECT_EQ(Next(2), (Statuses{12, 26}));
  EXPECT_EQ(printer_->GetPropertyNumber(14), 2000);
}

TEST_F(StatusEventsTest, CoverOpenAndCloseWithTheirProperties) {
  ClaimAndEnable(true);
  ASSERT_EQ(Next(3).size(), 3u);

  device_->Set("cover open");
  EXPECT_EQ(Next(2), (Statuses{11, 2004}));
  ASSERT_GE(seen_.size(), 5u);
  // The status event thread may already have applied the power report when the cover
  // report is raised, so only the cover's own properties are checked there.
  EXPECT_EQ(seen_[3].cover_open, 1);
  EXPECT_EQ(seen_[4], (Seen{2004, 1, 0, 2004, 3, "An unrecoverable error has occurred."}));

  device_->Set("cover close");
  EXPECT_EQ(Next(2), (Statuses{2001, 12}));
  EXPECT_EQ(Last(), (Seen{12, 0, 0, 2001, 1, ""}));
}

TEST_F(StatusEventsTest, PaperOutAndBackWithTheirProperties) {
  ClaimAndEnable(false);
  ASSERT_EQ(Next(2).size(), 2u);
  device_->Set("paper out");
  EXPECT_EQ(Next(1), Statuses{24});
  EXPECT_EQ(Last(), (Seen{24, 0, 1, 2000, 2, "Receipt station is out of paper."}));
  device_->Set("paper in");
  EXPECT_EQ(Next(1), Statuses{26});
  EXPECT_EQ(Last(), (Seen{26, 0, 0, 2000, 1, ""}));
}

// The paper is not sensed under an open cover: every change still reaches the application.
TEST_F(StatusEventsTest, PaperAndCoverChangesTogetherLoseNoReport) {
  ClaimAndEnable(false);
  ASSERT_EQ(Next(2).size(), 2u);
  device_->Set("cover open");
  EXPECT_EQ(Next(1), Statuses{11});
  device_->Set("paper out");
  device_->Set("cover close");  // paper end shows once the cover is closed
  EXPECT_EQ(Next(2), (Statuses{12, 24}));
  EXPECT_EQ(Last(), (Seen{24, 0, 1, 2000, 2, "Receipt station is out of paper."}));

  device_->Set("cover open");  // paper put back under the open cover
  EXPECT_EQ(Next(1), Statuses{11});
  device_->Set("paper in");
  device_->Set("cover close");
  EXPECT_EQ(Next(2), (Statuses{12, 26}));
  EXPECT_EQ(Last(), (Seen{26, 0, 0, 2000, 1, ""}));
}

TEST_F(StatusEventsTest, NothingWhileDisabledAndEnablingReportsAfresh) {
  ClaimAndEnable(false);
  ASSERT_EQ(Next(2).size(), 2u);
  printer_->SetDeviceEnabled(false);
  device_->Set("cover open");
  EXPECT_EQ(Next(0), Statuses{});
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(Next(1), Statuses{11});
  EXPECT_EQ(Last(), (Seen{11, 1, 0, 2000, 2, "Printer cover is open."}));

  printer_->SetDeviceEnabled(false);
  device_->Set("cover close");
  EXPECT_EQ(Next(0), Statuses{});
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(Next(2), (Statuses{12, 26}));
  // Enabling while enabled changes nothing and reports nothing.
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(Next(0), Statuses{});
}

TEST_F(StatusEventsTest, PowerLossAndReturn) {
  ClaimAndEnable(true);
  ASSERT_EQ(Next(3).size(), 3u);
  device_->Set("power off");
  EXPECT_EQ(Next(1), Statuses{2004});
  EXPECT_EQ(Last(), (Seen{2004, 0, 0, 2004, 3, "An unrecoverable error has occurred."}));
  device_->Set("power on");
  EXPECT_EQ(Next(1), Statuses{2001});
  EXPECT_EQ(Last(), (Seen{2001, 0, 0, 2001, 1, ""}));

  // PowerNotify cannot change while enabled; switching it off forgets the power state.
  printer_->SetPropertyNumber(13, 0);
  EXPECT_EQ(printer_->ResultCode(), opos::kIllegal);
  EXPECT_EQ(printer_->GetPropertyNumber(13), 1);
  printer_->SetDeviceEnabled(false);
  printer_->SetPropertyNumber(13, 0);
  EXPECT_EQ(printer_->ResultCode(), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(14), 2000);
}

TEST_F(StatusEventsTest, PowerLossWithoutPowerNotifyIsNotReported) {
  ClaimAndEnable(false);
  ASSERT_EQ(Next(2).size(), 2u);
  device_->Set("power off");
  EXPECT_EQ(Next(0), Statuses{});
  device_->Set("power on");
  // The link turns automatic status back on again after the power cycle and sees the
  // printer's changes from then on.
  ASSERT_TRUE(PumpUntil([&] { return device_->printer.Status().asb_enabled; }, 8000));
  device_->Set("cover open");
  EXPECT_EQ(Next(1), Statuses{11});
}

TEST_F(StatusEventsTest, FrozenStatusUpdatesArriveInOrderWhenThawed) {
  printer_->SetFreezeEvents(true);
  ClaimAndEnable(true);
  EXPECT_EQ(Next(0), Statuses{});
  printer_->SetFreezeEvents(false);
  EXPECT_EQ(Next(3), (Statuses{2001, 12, 26}));
}

TEST_F(StatusEventsTest, ReleaseWithReportsPendingAndClaimAgain) {
  printer_->SetFreezeEvents(true);
  ClaimAndEnable(true);
  platform::PumpMessages(kQuietMs);  // reports wait behind the frozen gate
  ASSERT_EQ(printer_->ReleaseDevice(), 0);
  printer_->SetFreezeEvents(false);
  EXPECT_EQ(Next(0), Statuses{});
  ClaimAndEnable(false);
  EXPECT_EQ(Next(2), (Statuses{12, 26}));
}

}  // namespace
}  // namespace service_core::testing
