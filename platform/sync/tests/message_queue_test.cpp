#include "platform/message_queue.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace platform {
namespace {

void* AsPayload(uintptr_t value) { return reinterpret_cast<void*>(value); }
uintptr_t FromPayload(void* payload) { return reinterpret_cast<uintptr_t>(payload); }

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

// Records the commands a window received, in order, with the thread that ran them.
struct Recorder {
  std::mutex mutex;
  std::vector<uintptr_t> payloads;
  std::vector<std::thread::id> threads;

  HiddenWindow::CommandHandler Handler() {
    return [this](uint16_t, void* payload) {
      std::lock_guard lock(mutex);
      payloads.push_back(FromPayload(payload));
      threads.push_back(std::this_thread::get_id());
      return true;
    };
  }
  size_t Count() {
    std::lock_guard lock(mutex);
    return payloads.size();
  }
};

TEST(MessageQueueTest, CommandsRunOnOwnerThreadOnlyWhileItPumps) {
  Recorder recorder;
  HiddenWindow window("EventInterfaceWindow", 1234, recorder.Handler());
  EXPECT_EQ(window.Name(), "EventInterfaceWindow");
  EXPECT_EQ(window.Id(), 1234);
  EXPECT_EQ(window.OwnerThread(), std::this_thread::get_id());

  std::thread poster([&] {
    for (uintptr_t i = 1; i <= 3; ++i) EXPECT_TRUE(window.PostCommand(0xFFFF, AsPayload(i)));
  });
  poster.join();
  SleepMs(20);
  EXPECT_EQ(recorder.Count(), 0u);  // nothing runs until the owner pumps

  EXPECT_EQ(PumpPendingMessages(), 3);
  ASSERT_EQ(recorder.payloads, (std::vector<uintptr_t>{1, 2, 3}));
  for (auto id : recorder.threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(PumpPendingMessages(), 0);
}

TEST(MessageQueueTest, OrderIsKeptPerPosterWhileOwnerPumps) {
  constexpr int kPosters = 4;
  constexpr uintptr_t kEach = 400;
  Recorder recorder;
  HiddenWindow window("w", 1, recorder.Handler());
  std::vector<std::thread> posters;
  for (uintptr_t p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (uintptr_t i = 0; i < kEach; ++i) window.PostCommand(7, AsPayload(p << 16 | i));
    });
  }
  const uint64_t start = TickCountMs();
  while (recorder.Count() < kPosters * kEach && TickCountMs() - start < 10000) PumpMessages(50);
  for (auto& t : posters) t.join();
  PumpPendingMessages();

  ASSERT_EQ(recorder.payloads.size(), kPosters * kEach);
  std::vector<intptr_t> last(kPosters, -1);
  for (uintptr_t v : recorder.payloads) {
    const uintptr_t poster = v >> 16;
    const intptr_t seq = static_cast<intptr_t>(v & 0xFFFF);
    ASSERT_LT(poster, static_cast<uintptr_t>(kPosters));
    EXPECT_EQ(seq, last[poster] + 1) << "poster " << poster;
    last[poster] = seq;
  }
}

TEST(MessageQueueTest, PumpWakesForAPostAndStillLastsTheRequestedTime) {
  std::atomic<uint64_t> posted_at{0}, handled_at{0};
  HiddenWindow window("w", 1, [&](uint16_t, void*) {
    handled_at = TickCountMs();
    return true;
  });
  const uint64_t start = TickCountMs();
  std::thread poster([&] {
    SleepMs(30);
    posted_at = TickCountMs();
    window.PostCommand(1, nullptr);
  });
  MessagePumpingPause();
  const uint64_t end = TickCountMs();
  poster.join();
  EXPECT_GE(end - start, 190u);
  EXPECT_LT(end - start, 2000u);
  // Unless the poster was starved past most of the pause, the command ran during it,
  // soon after it was posted rather than when the pause ended.
  if (posted_at.load() - start < 100) {
    ASSERT_NE(handled_at.load(), 0u);
    EXPECT_LT(handled_at.load() - posted_at.load(), 90u);
  }
  PumpPendingMessages();

  // Pauses repeat.
  const uint64_t again = TickCountMs();
  MessagePumpingPause();
  MessagePumpingPause();
  EXPECT_GE(TickCountMs() - again, 380u);
}

TEST(MessageQueueTest, QueueFdIsReadableExactlyWhileMessagesWait) {
  Recorder recorder;
  HiddenWindow window("w", 1, recorder.Handler());
  const int fd = QueueFd();
  ASSERT_GE(fd, 0);
  EXPECT_EQ(QueueFd(), fd);
  EXPECT_FALSE(Readable(fd));
  window.PostCommand(1, nullptr);
  window.PostCommand(2, nullptr);
  EXPECT_TRUE(Readable(fd));
  EXPECT_EQ(PumpPendingMessages(), 2);
  EXPECT_FALSE(Readable(fd));

  // A foreign event loop: poll the descriptor, pump when it is readable.
  std::thread poster([&] {
    for (uintptr_t i = 0; i < 50; ++i) {
      window.PostCommand(3, AsPayload(i));
      if (i % 10 == 0) SleepMs(2);
    }
  });
  const uint64_t start = TickCountMs();
  while (recorder.Count() < 52 && TickCountMs() - start < 10000) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_GE(poll(&p, 1, 2000), 0);
    if (p.revents & POLLIN) {
      EXPECT_GT(PumpPendingMessages(), 0);
    }
  }
  poster.join();
  EXPECT_EQ(recorder.Count(), 52u);
  EXPECT_FALSE(Readable(fd));
}

TEST(MessageQueueTest, NestedPumpInsideHandlerContinuesInOrder) {
  std::vector<std::string> trace;
  HiddenWindow window("w", 1, [&](uint16_t id, void*) {
    trace.push_back("start " + std::to_string(id));
    if (id == 1) MessagePumpingPause();
    if (id == 2) PumpPendingMessages();
    trace.push_back("end " + std::to_string(id));
    return true;
  });
  for (uint16_t id = 1; id <= 4; ++id) window.PostCommand(id, nullptr);
  PumpPendingMessages();
  EXPECT_EQ(trace, (std::vector<std::string>{"start 1", "start 2", "start 3", "end 3", "start 4",
                                             "end 4", "end 2", "end 1"}));
}

TEST(MessageQueueTest, DestroyingAWindowDropsOnlyItsCommands) {
  Recorder kept;
  HiddenWindow other("kept", 2, kept.Handler());
  bool dropped_ran = false;
  auto window = std::make_unique<HiddenWindow>("gone", 1, [&](uint16_t, void*) {
    dropped_ran = true;
    return true;
  });
  window->PostCommand(1, nullptr);
  other.PostCommand(2, AsPayload(9));
  window->PostCommand(3, nullptr);
  window.reset();
  EXPECT_TRUE(Readable(QueueFd()));
  EXPECT_EQ(PumpPendingMessages(), 1);
  EXPECT_FALSE(dropped_ran);
  EXPECT_EQ(kept.payloads, std::vector<uintptr_t>{9});

  window = std::make_unique<HiddenWindow>("gone", 1, [](uint16_t, void*) { return true; });
  window->PostCommand(1, nullptr);
  window.reset();
  EXPECT_FALSE(Readable(QueueFd()));
}

TEST(MessageQueueTest, AHandlerMayDestroyItsOwnWindow) {
  std::unique_ptr<HiddenWindow> window;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  std::vector<int> ran;
  window = std::make_unique<HiddenWindow>("w", 1, [&, token](uint16_t id, void*) {
    ran.push_back(id);
    if (id == 1) window.reset();
    return true;
  });
  token.reset();
  window->PostCommand(1, nullptr);
  window->PostCommand(2, nullptr);
  EXPECT_EQ(PumpPendingMessages(), 1);
  EXPECT_EQ(ran, std::vector<int>{1});
  EXPECT_TRUE(watch.expired());  // the handler and what it holds are gone with the window
  EXPECT_FALSE(Readable(QueueFd()));
}

TEST(MessageQueueTest, PostingAfterTheOwnerThreadEndedFails) {
  std::unique_ptr<HiddenWindow> window;
  std::atomic<bool> ran{false};
  std::thread owner([&] {
    window = std::make_unique<HiddenWindow>("w", 1, [&](uint16_t, void*) {
      ran = true;
      return true;
    });
    EXPECT_TRUE(window->PostCommand(1, nullptr));  // queued, never pumped
  });
  owner.join();
  EXPECT_FALSE(window->PostCommand(2, nullptr));
  EXPECT_EQ(PumpPendingMessages(), 0);  // not delivered to another thread's queue
  window.reset();
  EXPECT_FALSE(ran.load());
}

TEST(MessageQueueTest, DestroyingFromAnotherThreadWaitsForTheRunningHandler) {
  Event entered(true), release(true);
  std::atomic<bool> handler_done{false};
  auto window = std::make_unique<HiddenWindow>("w", 1, [&](uint16_t, void*) {
    entered.Set();
    WaitForOne(release, 10000);
    handler_done = true;
    return true;
  });
  window->PostCommand(1, nullptr);
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    ASSERT_EQ(WaitForOne(entered, 10000), 0);
    window.reset();
    destroyed = true;
    EXPECT_TRUE(handler_done.load());
  });
  std::thread releaser([&] {
    ASSERT_EQ(WaitForOne(entered, 10000), 0);
    SleepMs(50);
    EXPECT_FALSE(destroyed.load());
    release.Set();
  });
  PumpPendingMessages();
  releaser.join();
  destroyer.join();
  EXPECT_TRUE(destroyed.load());
}

TEST(MessageQueueTest, HandlerExceptionDoesNotStopThePump) {
  std::vector<int> ran;
  HiddenWindow window("w", 1, [&](uint16_t id, void*) -> bool {
    ran.push_back(id);
    if (id == 1) throw std::runtime_error("boom");
    return true;
  });
  window.PostCommand(1, nullptr);
  window.PostCommand(2, nullptr);
  EXPECT_EQ(PumpPendingMessages(), 2);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace platform
