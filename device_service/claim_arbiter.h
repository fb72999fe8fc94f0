// Claims between the service's clients. Every client's device object is a control object of
// its own in this one process, and a claim that the service object refuses still opens and
// probes the port while it retries; with many clients waiting for one printer that disturbed
// the client printing on it. So the service lets one client at a time hold or attempt the
// claim of a device entry: the others wait here, up to their claim's time-out, without
// touching the device.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace oposd {

class ClaimArbiter {
 public:
  // Waits until no other owner holds `device`, `timeout_ms` passed (a negative one waits
  // without limit, as OPOS_FOREVER) or `cancelled()` holds; true when `owner` holds it now.
  bool Acquire(const std::string& device, const void* owner, int32_t timeout_ms,
               const std::function<bool()>& cancelled);
  void Release(const std::string& device, const void* owner);
  void ReleaseAll(const void* owner);

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, const void*> holders_;
};

}  // namespace oposd
