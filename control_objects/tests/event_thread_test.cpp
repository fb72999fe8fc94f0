#include "control_objects/event_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "control_objects/opos_codes.h"
#include "control_objects/opos_constants.h"
#include "control_objects/pos_printer.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "temp_registry.h"

namespace opos::control {
namespace {

// Waits (without pumping) until `done` holds; false after a generous limit.
bool WaitUntil(const std::function<bool()>& done) {
  const uint64_t deadline = platform::TickCountMs() + 10000;
  while (!done()) {
    if (platform::TickCountMs() > deadline) return false;
    platform::SleepMs(5);
  }
  return true;
}

class EventThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { registry_.AddDevice("POSPrinter", "TestPrinter", "Test.POSPrinter.SO"); }

  testing::TempRegistry registry_;
};

TEST_F(EventThreadTest, EventsArriveWhileCallersNeverPumpAndHandlersMayCallBackAndClose) {
  EventThread thread;
  ObjectRef<POSPrinter> printer;
  std::atomic<int> completed{0}, updates{0};
  std::atomic<bool> handlers_on_thread{true};
  std::atomic<int32_t> state_seen{0}, close_result{-1};
  ASSERT_TRUE(thread.Run([&] {
    printer = POSPrinter::Create();
    printer->on_output_complete = [&](int32_t) {
      handlers_on_thread = handlers_on_thread && thread.OnThread();
      ++completed;
    };
    printer->on_status_update = [&](int32_t data) {
      handlers_on_thread = handlers_on_thread && thread.OnThread();
      if (data == 2) {
        close_result = printer->Close();  // from inside its own handler
        return;
      }
      state_seen = printer->State();  // a call back into the device runs at once
      ++updates;
    };
    ASSERT_EQ(printer->Open("TestPrinter"), kSuccess);
    ASSERT_EQ(printer->ClaimDevice(1000), kSuccess);
    printer->SetDeviceEnabled(true);
    printer->SetAsyncMode(true);
  }));

  // Several threads call in at once while events flow; none of them pumps.
  constexpr int kCallers = 3, kPrintsEach = 50;
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&] {
      for (int i = 0; i < kPrintsEach; ++i) {
        thread.Run([&] { EXPECT_EQ(printer->PrintNormal(2, "line\n"), kSuccess); });
        thread.Run([&] {
          int32_t data = 1;
          std::string text;
          printer->DirectIO(1, data, text);
        });
      }
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_TRUE(WaitUntil([&] { return completed == kCallers * kPrintsEach; }));
  EXPECT_TRUE(WaitUntil([&] { return updates == kCallers * kPrintsEach; }));
  EXPECT_TRUE(handlers_on_thread);
  EXPECT_NE(state_seen, 0);

  thread.Run([&] {
    int32_t data = 2;
    std::string text;
    printer->DirectIO(1, data, text);
  });
  EXPECT_TRUE(WaitUntil([&] { return close_result != -1; }));
  EXPECT_EQ(close_result, kSuccess);
  thread.Run([&] { printer = ObjectRef<POSPrinter>(); });
}

TEST_F(EventThreadTest, AnAbandonedWaitLetsTheTaskFinishAndStopRefusesNewTasks) {
  EventThread thread;
  platform::Event release(true, false);
  std::atomic<bool> ran{false};
  EventThread::Task slow = thread.Post([&] {
    platform::WaitForOne(release, platform::kInfinite);
    ran = true;
  });
  EXPECT_TRUE(slow.Queued());
  EXPECT_FALSE(slow.Wait(20));  // the caller gives up waiting (an interrupt)
  release.Set();
  EXPECT_TRUE(slow.Wait(10000));
  EXPECT_TRUE(ran);

  EXPECT_TRUE(thread.Stop(10000));
  EXPECT_FALSE(thread.Run([] {}));
  EXPECT_FALSE(thread.Post([] {}).Queued());
}

TEST_F(EventThreadTest, ATaskThatPumpsDoesNotLetTheNextTaskInBeforeItEnds) {
  EventThread thread;
  std::atomic<int> order{0};
  std::atomic<int> second_started_at{0};
  EventThread::Task first = thread.Post([&] {
    platform::MessagePumpingPause();  // what a release does between its steps
    platform::MessagePumpingPause();
    order = 1;
  });
  EventThread::Task second = thread.Post([&] { second_started_at = order.load() + 10; });
  ASSERT_TRUE(first.Wait(10000));
  ASSERT_TRUE(second.Wait(10000));
  EXPECT_EQ(second_started_at, 11);

  // The same for an event handler that pumps.
  ObjectRef<POSPrinter> printer;
  std::atomic<int> handler_step{0}, step_seen_by_task{-1};
  thread.Run([&] {
    printer = POSPrinter::Create();
    printer->on_status_update = [&](int32_t) {
      handler_step = 1;
      platform::MessagePumpingPause();
      handler_step = 2;
    };
    ASSERT_EQ(printer->Open("TestPrinter"), kSuccess);
    ASSERT_EQ(printer->ClaimDevice(1000), kSuccess);
    printer->SetDeviceEnabled(true);
    int32_t data = 1;
    std::string text;
    printer->DirectIO(1, data, text);
  });
  ASSERT_TRUE(WaitUntil([&] { return handler_step == 1; }));
  thread.Run([&] { step_seen_by_task = handler_step.load(); });
  EXPECT_EQ(step_seen_by_task, 2);
  thread.Run([&] { printer = ObjectRef<POSPrinter>(); });
}

TEST(OposConstantsTest, NamesAreUniqueAndAgreeWithTheResultCodes) {
  std::vector<std::string_view> names;
  int32_t success = -1, extended = -1, retry = -1;
  for (const auto& constant : OposConstants()) {
    for (auto name : names) EXPECT_NE(name, constant.name);
    names.push_back(constant.name);
    if (constant.name == "OPOS_SUCCESS") success = constant.value;
    if (constant.name == "OPOS_E_EXTENDED") extended = constant.value;
    if (constant.name == "OPOS_ER_RETRY") retry = constant.value;
  }
  EXPECT_EQ(success, kSuccess);
  EXPECT_EQ(extended, kExtended);
  EXPECT_EQ(retry, kErRetry);
}

}  // namespace
}  // namespace opos::control
