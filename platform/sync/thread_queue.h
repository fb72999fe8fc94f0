// The per-thread message queue behind hidden windows and pumping (internal to the layer).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace platform::detail {

class ThreadQueue;

// What a queued message points at: the window's identity and handler. Shared between the
// HiddenWindow and the messages queued for it; `destroyed` and `running` are guarded by
// the owning queue's lock.
struct WindowTarget {
  std::string name;
  int id = 0;
  std::function<bool(uint16_t, void*)> handler;
  std::thread::id owner;
  std::shared_ptr<ThreadQueue> queue;
  bool destroyed = false;
  int running = 0;  // handler calls in progress (nested pumps can make it more than one)
};

struct QueuedMessage {
  uint64_t sequence;
  std::shared_ptr<WindowTarget> window;
  uint16_t command_id;
  void* payload;
};

class ThreadQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // The calling thread's queue, created on first use and shut down when the thread ends.
  static std::shared_ptr<ThreadQueue> ForCurrentThread();

  ThreadQueue();
  ~ThreadQueue();
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;

  // False when the owner thread has ended or the window is destroyed.
  bool Post(const std::shared_ptr<WindowTarget>& window, uint16_t command_id, void* payload);
  // Marks the window destroyed and drops its queued messages. With `wait_for_handlers`,
  // also waits until no handler of the window is running (used off the owner thread).
  void RemoveWindow(WindowTarget& window, bool wait_for_handlers);

  // The next message if there is one with a sequence number not above `last_sequence`.
  std::optional<QueuedMessage> TakeNow(uint64_t last_sequence);
  // The next message, waiting for one until `deadline` (nullopt waits forever).
  std::optional<QueuedMessage> TakeUntil(std::optional<Clock::time_point> deadline);
  // Ends a handler call begun by a message that Take* returned.
  void FinishDispatch(WindowTarget& window);

  uint64_t LastSequence();
  int Fd() const { return fd_; }

  // Called when the owner thread ends: refuses further posts and drops what is queued.
  void Shutdown();

 private:
  QueuedMessage PopFrontLocked();
  void SyncFdLocked();

  std::mutex mutex_;
  std::condition_variable posted_;
  std::condition_variable handler_finished_;
  std::deque<QueuedMessage> messages_;
  uint64_t last_sequence_ = 0;
  bool alive_ = true;
  bool fd_readable_ = false;
  int fd_ = -1;
};

}  // namespace platform::detail
