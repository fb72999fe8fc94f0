#include "control_objects/event_thread.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/message_queue.h"

namespace opos::control {

struct EventThread::Task::State {
  std::function<void()> work;
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;

  void RunOnce() {
    work();
    work = nullptr;  // what the task captured goes now, on this thread
    std::lock_guard lock(mutex);
    done = true;
    done_changed.notify_all();
  }
};

bool EventThread::Task::Wait(uint32_t ms) {
  if (!state_) return false;  // never queued: the thread had stopped
  std::unique_lock lock(state_->mutex);
  return state_->done_changed.wait_for(lock, std::chrono::milliseconds(ms),
                                       [this] { return state_->done; });
}

bool EventThread::Task::Done() { return Wait(0); }

// What the thread and its callers share; it outlives an EventThread whose thread was left
// running by Stop().
struct EventThread::Shared {
  std::mutex mutex;
  std::deque<std::shared_ptr<Task::State>> queue;
  std::unique_ptr<platform::HiddenWindow> window;  // posts wake the thread
  std::thread::id owner;
  std::condition_variable ready_changed;
  bool ready = false;
  bool stopping = false;
  std::condition_variable ended_changed;
  bool ended = false;

  // Runs the queued tasks one after the other, only from the loop itself: a task or an
  // event handler that pumps messages (a claim's or a release's pause) lets events through
  // but not the next task, which waits until the first has finished, as its caller expects.
  void RunQueued() {
    for (;;) {
      std::shared_ptr<Task::State> next;
      {
        std::lock_guard lock(mutex);
        if (queue.empty()) return;
        next = std::move(queue.front());
        queue.pop_front();
      }
      next->RunOnce();
    }
  }

  void Loop() {
    {
      std::lock_guard lock(mutex);
      owner = std::this_thread::get_id();
      // Its commands only wake the loop below.
      window = std::make_unique<platform::HiddenWindow>("ControlObjectTasks", 0,
                                                        [](uint16_t, void*) { return true; });
      ready = true;
    }
    ready_changed.notify_all();
    pollfd queue_fd{platform::QueueFd(), POLLIN, 0};
    for (;;) {
      if (poll(&queue_fd, 1, -1) < 0 && errno != EINTR) break;
      platform::PumpPendingMessages();
      RunQueued();
      std::lock_guard lock(mutex);
      if (stopping && queue.empty()) break;
    }
    RunQueued();
    std::unique_ptr<platform::HiddenWindow> gone;
    {
      std::lock_guard lock(mutex);
      gone = std::move(window);
    }
    gone.reset();
    // Releases deferred to this thread's next pump happen now.
    platform::PumpPendingMessages();
    std::lock_guard lock(mutex);
    ended = true;
    ended_changed.notify_all();
  }
};

EventThread::EventThread() : shared_(std::make_shared<Shared>()) {
  thread_ = std::thread([shared = shared_] { shared->Loop(); });
  std::unique_lock lock(shared_->mutex);
  shared_->ready_changed.wait(lock, [this] { return shared_->ready; });
}

EventThread::~EventThread() { Stop(UINT32_MAX); }

bool EventThread::OnThread() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->owner == std::this_thread::get_id();
}

EventThread::Task EventThread::Post(std::function<void()> work) {
  Task task;
  task.state_ = std::make_shared<Task::State>();
  task.state_->work = std::move(work);
  if (OnThread()) {
    task.state_->RunOnce();
    return task;
  }
  std::lock_guard lock(shared_->mutex);
  if (shared_->stopping || !shared_->window) {
    task.state_.reset();
    return task;
  }
  shared_->queue.push_back(task.state_);
  shared_->window->PostCommand(1, nullptr);
  return task;
}

bool EventThread::Run(std::function<void()> work) {
  Task task = Post(std::move(work));
  if (!task.Queued()) return false;
  while (!task.Wait(UINT32_MAX)) {
  }
  return true;
}

bool EventThread::Stop(uint32_t ms) {
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->stopping) {
      shared_->stopping = true;
      if (shared_->window) shared_->window->PostCommand(1, nullptr);
    }
  }
  if (!thread_.joinable()) return true;
  if (OnThread()) {
    thread_.detach();  // ends when the current task returns to the loop
    return false;
  }
  std::unique_lock lock(shared_->mutex);
  bool ended = shared_->ended_changed.wait_for(lock, std::chrono::milliseconds(ms),
                                               [this] { return shared_->ended; });
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
  return ended;
}

}  // namespace opos::control
