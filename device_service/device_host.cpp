#include "device_host.h"

#include <algorithm>

namespace oposd {

std::shared_ptr<DeviceThread> DeviceHost::Start(std::string device_class,
                                                DeviceThread::EventSink sink) {
  std::vector<std::shared_ptr<DeviceThread>> finished;
  auto thread = std::make_shared<DeviceThread>(std::move(device_class), std::move(sink), arbiter_);
  {
    std::lock_guard lock(mutex_);
    auto done = std::stable_partition(threads_.begin(), threads_.end(),
                                      [](const auto& t) { return !t->Finished(); });
    finished.assign(std::make_move_iterator(done), std::make_move_iterator(threads_.end()));
    threads_.erase(done, threads_.end());
    threads_.push_back(thread);
  }
  for (auto& t : finished) t->Join();  // at once: they have finished
  return thread;
}

void DeviceHost::StopAll() {
  std::vector<std::shared_ptr<DeviceThread>> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(threads_);
  }
  for (auto& t : all) t->Stop();
  for (auto& t : all) t->Join();
}

size_t DeviceHost::Running() {
  std::lock_guard lock(mutex_);
  return std::count_if(threads_.begin(), threads_.end(),
                       [](const auto& t) { return !t->Finished(); });
}

}  // namespace oposd
