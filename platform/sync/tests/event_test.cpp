#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(EventTest, AutoResetSetIsConsumedByExactlyOneWaiter) {
  Event item(false);
  Event stop(true);
  constexpr int kWaiters = 4;
  constexpr int kSets = 300;
  std::atomic<int> consumed{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      for (;;) {
        const int r = WaitForAny({&stop, &item}, kInfinite);
        if (r == 0) return;
        ASSERT_EQ(r, 1);
        consumed.fetch_add(1);
      }
    });
  }
  for (int i = 0; i < kSets; ++i) {
    item.Set();
    // Wait until some waiter took it, so that no two sets fall together.
    const uint64_t start = TickCountMs();
    while (item.IsSet()) {
      ASSERT_LT(TickCountMs() - start, 5000u);
      std::this_thread::yield();
    }
  }
  // The last one may still be counting.
  const uint64_t start = TickCountMs();
  while (consumed.load() < kSets && TickCountMs() - start < 5000) SleepMs(1);
  stop.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(consumed.load(), kSets);
  EXPECT_FALSE(item.IsSet());
  EXPECT_TRUE(stop.IsSet());  // a manual-reset event stays set for every waiter
}

TEST(EventTest, AutoResetSetWithoutWaiterSatisfiesOneLaterWait) {
  Event event(false);
  event.Set();
  event.Set();  // does not count twice
  EXPECT_EQ(WaitForOne(event, 0), 0);
  EXPECT_EQ(WaitForOne(event, 0), kWaitTimeout);
  Event initially(false, true);
  EXPECT_EQ(WaitForOne(initially, 0), 0);
  EXPECT_EQ(WaitForOne(initially, 0), kWaitTimeout);
}

TEST(EventTest, ManualResetReleasesEveryWaiterUntilReset) {
  Event gate(true);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (WaitForOne(gate, 10000) == 0) released.fetch_add(1);
    });
  }
  gate.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 3);
  EXPECT_EQ(WaitForOne(gate, 0), 0);
  gate.Reset();
  EXPECT_EQ(WaitForOne(gate, 0), kWaitTimeout);
}

TEST(EventTest, WaitForAnyTakesLowestSignalledAndConsumesOnlyIt) {
  Event a(false), b(false), manual(true);
  a.Set();
  b.Set();
  EXPECT_EQ(WaitForAny({&a, &b}, 0), 0);
  EXPECT_FALSE(a.IsSet());
  EXPECT_TRUE(b.IsSet());
  EXPECT_EQ(WaitForAny({&a, &b}, 0), 1);
  EXPECT_FALSE(b.IsSet());
  EXPECT_EQ(WaitForAny({&a, &b}, 0), kWaitTimeout);

  manual.Set();
  b.Set();
  EXPECT_EQ(WaitForAny({&manual, &b}, 0), 0);
  EXPECT_TRUE(b.IsSet());  // not touched when a lower index satisfied the wait
}

TEST(EventTest, WaitForAllNeedsEveryEventAtOnceAndConsumesTogether) {
  Event a(false), b(false), manual(true);
  a.Set();
  manual.Set();
  EXPECT_EQ(WaitForAll({&a, &b, &manual}, 30), kWaitTimeout);
  EXPECT_TRUE(a.IsSet());  // a partial match consumes nothing

  std::thread setter([&] {
    SleepMs(20);
    b.Set();
  });
  EXPECT_EQ(WaitForAll({&a, &b, &manual}, 10000), 0);
  setter.join();
  EXPECT_FALSE(a.IsSet());
  EXPECT_FALSE(b.IsSet());
  EXPECT_TRUE(manual.IsSet());
}

TEST(EventTest, WaitForAllDoesNotStealFromAnotherWaiter) {
  // A single waiter on `a` must get every Set of `a` while the all-waiter lacks `b`.
  Event a(false), b(false);
  std::atomic<int> single_got{0};
  std::thread all_waiter([&] { EXPECT_EQ(WaitForAll({&a, &b}, 10000), 0); });
  std::thread single([&] {
    for (int i = 0; i < 5; ++i)
      if (WaitForOne(a, 10000) == 0) single_got.fetch_add(1);
  });
  for (int i = 0; i < 5; ++i) {
    a.Set();
    const uint64_t start = TickCountMs();
    while (single_got.load() <= i && TickCountMs() - start < 5000) SleepMs(1);
  }
  single.join();
  EXPECT_EQ(single_got.load(), 5);
  a.Set();
  b.Set();
  all_waiter.join();
  EXPECT_FALSE(a.IsSet());
  EXPECT_FALSE(b.IsSet());
}

TEST(EventTest, TimeoutsAndBadArguments) {
  Event never(true);
  const uint64_t start = TickCountMs();
  EXPECT_EQ(WaitForOne(never, 100), kWaitTimeout);
  const uint64_t elapsed = TickCountMs() - start;
  EXPECT_GE(elapsed, 95u);
  EXPECT_LT(elapsed, 2000u);
  EXPECT_EQ(WaitForAny({&never}, 0), kWaitTimeout);

  EXPECT_EQ(WaitForAny(std::span<Event* const>(), kInfinite), kWaitFailed);
  EXPECT_EQ(WaitForAll(std::span<Event* const>(), kInfinite), kWaitFailed);
  EXPECT_EQ(WaitForAny({&never, nullptr}, kInfinite), kWaitFailed);
}

}  // namespace
}  // namespace platform
