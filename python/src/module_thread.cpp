#include "module_thread.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace opos_python {

namespace py = pybind11;
using opos::control::EventThread;

namespace {

constexpr uint32_t kSignalCheckMs = 50;
constexpr uint32_t kStopWaitMs = 3000;

std::mutex thread_mutex;
std::unique_ptr<EventThread> module_thread;  // created at first use
std::atomic<bool> shutting_down{false};

EventThread& Thread() {
  std::lock_guard lock(thread_mutex);
  if (!module_thread) module_thread = std::make_unique<EventThread>();
  return *module_thread;
}

}  // namespace

bool OnModuleThread() {
  std::lock_guard lock(thread_mutex);
  return module_thread && module_thread->OnThread();
}

bool ModuleShuttingDown() { return shutting_down; }

void RunOnModuleThread(std::function<void()> work) {
  if (shutting_down) throw std::runtime_error("the opos module has shut down");
  EventThread& thread = Thread();
  if (thread.OnThread()) {
    // A handler calling into a device: at once, and other Python threads may run meanwhile.
    py::gil_scoped_release release;
    work();
    return;
  }
  EventThread::Task task = thread.Post(std::move(work));
  if (!task.Queued()) throw std::runtime_error("the opos module's thread has stopped");
  for (;;) {
    {
      py::gil_scoped_release release;
      if (task.Wait(kSignalCheckMs)) return;
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  }
}

bool PostToModuleThread(std::function<void()> work) {
  if (shutting_down) return false;
  return Thread().Post(std::move(work)).Queued();
}

void StopModuleThread(std::function<void()> last) {
  std::unique_ptr<EventThread> thread;
  {
    std::lock_guard lock(thread_mutex);
    thread = std::move(module_thread);
  }
  shutting_down = true;
  if (!thread) return;
  py::gil_scoped_release release;
  EventThread::Task closing = thread->Post(std::move(last));
  closing.Wait(kStopWaitMs);
  if (!thread->Stop(kStopWaitMs)) {
    // Still inside a device call (a drawer that is never closed): the process ends around
    // it; the thread no longer enters Python.
    (void)thread.release();
  }
}

}  // namespace opos_python
