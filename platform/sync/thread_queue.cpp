#include "thread_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace platform::detail {

namespace {

// Shuts the thread's queue down when the thread ends, while windows on other threads may
// still hold it; they then see a dead queue and their posts fail.
struct ThreadQueueHolder {
  std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
  ~ThreadQueueHolder() { queue->Shutdown(); }
};

}  // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::ForCurrentThread() {
  thread_local ThreadQueueHolder holder;
  return holder.queue;
}

ThreadQueue::ThreadQueue() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) std::fprintf(stderr, "message queue: eventfd failed: %s\n", std::strerror(errno));
}

ThreadQueue::~ThreadQueue() {
  if (fd_ >= 0) close(fd_);
}

bool ThreadQueue::Post(const std::shared_ptr<WindowTarget>& window, uint16_t command_id,
                       void* payload) {
  std::lock_guard lock(mutex_);
  if (!alive_ || window->destroyed) return false;
  messages_.push_back(QueuedMessage{++last_sequence_, window, command_id, payload});
  SyncFdLocked();
  posted_.notify_all();
  return true;
}

void ThreadQueue::RemoveWindow(WindowTarget& window, bool wait_for_handlers) {
  // Released after the lock. The handler goes with the window (not with the last message
  // that points at it): its code may live in a library that is unloaded after the window.
  std::vector<QueuedMessage> dropped;
  std::function<bool(uint16_t, void*)> handler;
  std::unique_lock lock(mutex_);
  window.destroyed = true;
  for (auto it = messages_.begin(); it != messages_.end();) {
    if (it->window.get() == &window) {
      dropped.push_back(std::move(*it));
      it = messages_.erase(it);
    } else {
      ++it;
    }
  }
  SyncFdLocked();
  if (wait_for_handlers) handler_finished_.wait(lock, [&] { return window.running == 0; });
  // A handler that destroys its own window keeps running; FinishDispatch lets it go.
  if (window.running == 0) handler.swap(window.handler);
}

QueuedMessage ThreadQueue::PopFrontLocked() {
  QueuedMessage message = std::move(messages_.front());
  messages_.pop_front();
  ++message.window->running;
  SyncFdLocked();
  return message;
}

std::optional<QueuedMessage> ThreadQueue::TakeNow(uint64_t last_sequence) {
  std::lock_guard lock(mutex_);
  if (messages_.empty() || messages_.front().sequence > last_sequence) return std::nullopt;
  return PopFrontLocked();
}

std::optional<QueuedMessage> ThreadQueue::TakeUntil(std::optional<Clock::time_point> deadline) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return !messages_.empty(); };
  if (!deadline) {
    posted_.wait(lock, ready);
  } else if (!posted_.wait_until(lock, *deadline, ready)) {
    return std::nullopt;
  }
  return PopFrontLocked();
}

void ThreadQueue::FinishDispatch(WindowTarget& window) {
  std::function<bool(uint16_t, void*)> handler;  // released after the lock
  std::lock_guard lock(mutex_);
  if (--window.running > 0) return;
  if (window.destroyed) handler.swap(window.handler);
  handler_finished_.notify_all();
}

uint64_t ThreadQueue::LastSequence() {
  std::lock_guard lock(mutex_);
  return last_sequence_;
}

void ThreadQueue::Shutdown() {
  std::deque<QueuedMessage> dropped;
  std::lock_guard lock(mutex_);
  alive_ = false;
  dropped.swap(messages_);
  SyncFdLocked();
}

// Keeps the descriptor readable exactly while messages are queued: one count is written
// when the queue becomes non-empty and read back when it empties.
void ThreadQueue::SyncFdLocked() {
  if (fd_ < 0) return;
  const bool want = !messages_.empty();
  if (want == fd_readable_) return;
  if (want) {
    const uint64_t one = 1;
    if (write(fd_, &one, sizeof one) != sizeof one) return;
  } else {
    uint64_t count = 0;
    if (read(fd_, &count, sizeof count) != sizeof count && errno != EAGAIN) return;
  }
  fd_readable_ = want;
}

}  // namespace platform::detail
