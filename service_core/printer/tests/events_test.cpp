// Event delivery: the opening thread, order, both freeze gates, and nothing after release.
// Events are raised by FlagWhenIdle and by cover changes of the virtual printer; error events
// and their answers are covered with the output path (async_output_test.cpp).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "control_objects/opos_codes.h"
#include "platform/dispatch_table.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/object_factory.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

using namespace platform::automation;
using opos::control::POSPrinter;

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("Receipt1", device_->attachment.LinkPath(), "Thermal42", "", "Unit1");
    printer_ = OpenPrinter("Unit1");
    printer_->on_status_update = [this](int32_t data) {
      statuses_.push_back(data);
      threads_.push_back(std::this_thread::get_id());
    };
  }
  void TearDown() override {
    printer_->Close();
    printer_ = {};
  }
  // Pumps for a while and reports whether anything arrived.
  bool AnythingArrives(uint32_t ms = 500) {
    const size_t before = statuses_.size();
    platform::PumpMessages(ms);
    return statuses_.size() != before;
  }

  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
  opos::control::ObjectRef<POSPrinter> printer_;
  std::vector<int32_t> statuses_;
  std::vector<std::thread::id> threads_;
};

TEST_F(EventsTest, FlagWhenIdleRaisesIdleOnTheOpeningThread) {
  printer_->SetPropertyNumber(8005, 1);
  EXPECT_EQ(printer_->ResultCode(), opos::kNotClaimed);
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetPropertyNumber(8005, 1);
  EXPECT_EQ(printer_->ResultCode(), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(8005), 0);
  ASSERT_TRUE(PumpUntil([&] { return !statuses_.empty(); }));
  EXPECT_EQ(statuses_, std::vector<int32_t>{1001});
  EXPECT_EQ(threads_[0], std::this_thread::get_id());
}

TEST_F(EventsTest, FrozenEventsWaitAndArriveInOrder) {
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetDeviceEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return statuses_.size() == 2; }));  // cover closed, paper present
  statuses_.clear();
  threads_.clear();
  printer_->SetFreezeEvents(true);
  EXPECT_EQ(printer_->ResultCode(), 0);
  printer_->SetPropertyNumber(8005, 1);
  device_->Set("cover open");
  ASSERT_TRUE(PumpUntil([&] { return printer_->GetPropertyNumber(8003) == 1; }));
  device_->Set("cover close");
  ASSERT_TRUE(PumpUntil([&] { return printer_->GetPropertyNumber(8003) == 0; }));
  EXPECT_FALSE(AnythingArrives());
  printer_->SetFreezeEvents(false);
  ASSERT_TRUE(PumpUntil([&] { return statuses_.size() == 3; }));
  EXPECT_EQ(statuses_, (std::vector<int32_t>{1001, 11, 12}));
  for (auto id : threads_) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(EventsTest, FreezingBeforeTheClaimHoldsAfterIt) {
  printer_->SetFreezeEvents(true);
  EXPECT_EQ(printer_->ResultCode(), 0);
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  EXPECT_TRUE(printer_->FreezeEvents());
  printer_->SetPropertyNumber(8005, 1);
  EXPECT_FALSE(AnythingArrives());
  printer_->SetFreezeEvents(false);
  EXPECT_TRUE(PumpUntil([&] { return statuses_.size() == 1; }));
}

TEST_F(EventsTest, NothingIsDeliveredAfterRelease) {
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetFreezeEvents(true);
  printer_->SetPropertyNumber(8005, 1);
  printer_->SetPropertyNumber(8005, 1);
  ASSERT_EQ(printer_->ReleaseDevice(), 0);
  printer_->SetFreezeEvents(false);
  EXPECT_FALSE(AnythingArrives());
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  EXPECT_FALSE(AnythingArrives());
  printer_->SetPropertyNumber(8005, 1);
  EXPECT_TRUE(PumpUntil([&] { return !statuses_.empty(); }));
  EXPECT_FALSE(AnythingArrives());
  EXPECT_EQ(statuses_, std::vector<int32_t>{1001});
}

TEST_F(EventsTest, ReleasingInsideACallbackEndsTheClaim) {
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  int32_t release_result = -1;
  printer_->on_status_update = [&](int32_t data) {
    statuses_.push_back(data);
    release_result = printer_->ReleaseDevice();
  };
  printer_->SetFreezeEvents(true);
  printer_->SetPropertyNumber(8005, 1);
  printer_->SetPropertyNumber(8005, 1);
  printer_->SetFreezeEvents(false);
  ASSERT_TRUE(PumpUntil([&] { return release_result != -1; }));
  EXPECT_EQ(release_result, 0);
  EXPECT_FALSE(AnythingArrives());
  EXPECT_EQ(statuses_, std::vector<int32_t>{1001});
  EXPECT_FALSE(printer_->Claimed());
}

// A control object of our own making, for what the real one never does: call
// COFreezeEvents, open a name without a device key, or lack a callback.
class CallbackRecorder : public AutomationObject<CallbackRecorder> {
 public:
  static const DispatchTable<CallbackRecorder>& AutomationTable() {
    static const DispatchTable<CallbackRecorder> table =
        DispatchTable<CallbackRecorder>()
            .Method("SODirectIO", [](CallbackRecorder&, int32_t, int32_t*, std::string*) {})
            .Method("SOError", [](CallbackRecorder&, int32_t, int32_t, int32_t, int32_t*) {})
            .Method("SOOutputComplete", [](CallbackRecorder&, int32_t) {})
            .Method("SOStatusUpdate",
                    [](CallbackRecorder& self, int32_t data) { self.statuses.push_back(data); });
    return table;
  }
  std::vector<int32_t> statuses;
};

class WithoutError : public AutomationObject<WithoutError> {
 public:
  static const DispatchTable<WithoutError>& AutomationTable() {
    static const DispatchTable<WithoutError> table =
        DispatchTable<WithoutError>()
            .Method("SODirectIO", [](WithoutError&, int32_t, int32_t*, std::string*) {})
            .Method("SOOutputComplete", [](WithoutError&, int32_t) {})
            .Method("SOStatusUpdate", [](WithoutError&, int32_t) {});
    return table;
  }
};

int32_t Call(Dispatch* object, const char* name, std::initializer_list<Variant> args) {
  Variant result;
  EXPECT_EQ(CallMethod(object, name, args, &result), kOk) << name;
  return result.ToInt32();
}

TEST_F(EventsTest, ControlObjectGateAndOpenServiceRefusals) {
  DispatchPtr service;
  ASSERT_EQ(CreateObject("RecPrinter.POSPrinter.SO", service), kOk);
  auto recorder = DispatchPtr::Adopt(new CallbackRecorder);
  auto without_error = DispatchPtr::Adopt(new WithoutError);

  EXPECT_EQ(
      Call(service.get(), "OpenService", {"POSPrinter", "NoSuchKey", Variant(recorder.get())}),
      opos::kNoService);
  EXPECT_EQ(
      Call(service.get(), "OpenService", {"POSPrinter", "Unit1", Variant(without_error.get())}),
      opos::kNoService);
  EXPECT_EQ(Call(service.get(), "GetPropertyNumber", {6}), opos::kNoService);

  ASSERT_EQ(Call(service.get(), "OpenService", {"POSPrinter", "Receipt1", Variant(recorder.get())}),
            0);
  ASSERT_EQ(Call(service.get(), "ClaimDevice", {1000}), 0);
  EXPECT_EQ(Call(service.get(), "COFreezeEvents", {1}), 0);
  Call(service.get(), "SetPropertyNumber", {8005, 1});
  auto& seen = static_cast<CallbackRecorder*>(recorder.get())->statuses;
  platform::PumpMessages(500);
  EXPECT_TRUE(seen.empty());
  // Both gates must be open.
  Call(service.get(), "SetPropertyNumber", {4, 1});
  EXPECT_EQ(Call(service.get(), "COFreezeEvents", {0}), 0);
  platform::PumpMessages(500);
  EXPECT_TRUE(seen.empty());
  Call(service.get(), "SetPropertyNumber", {4, 0});
  EXPECT_TRUE(PumpUntil([&] { return seen.size() == 1; }));
  EXPECT_EQ(Call(service.get(), "Close", {}), 0);
  EXPECT_EQ(Call(service.get(), "GetPropertyNumber", {9}), opos::kStateClosed);
  service.Reset();
  FreeUnusedLibraries();
}

TEST_F(EventsTest, FreezeEventsReadsBackTheValueGivenAndAnyNonZeroValueHolds) {
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetDeviceEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return statuses_.size() >= 2; }));
  printer_->SetPropertyNumber(4, -1);  // a Basic True
  EXPECT_EQ(printer_->GetPropertyNumber(4), -1);
  EXPECT_EQ(printer_->ResultCode(), 0);
  printer_->SetPropertyNumber(8005, 1);  // FlagWhenIdle: 1001 at once, held by the freeze
  EXPECT_FALSE(AnythingArrives());
  printer_->SetPropertyNumber(4, 0);
  EXPECT_EQ(printer_->GetPropertyNumber(4), 0);
  EXPECT_TRUE(PumpUntil([&] { return !statuses_.empty() && statuses_.back() == 1001; }));
}

}  // namespace
}  // namespace service_core::testing
