// The control object's callbacks, looked up by name at OpenService and invoked on the
// thread that opened the device.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dispatch.h"

namespace service_core {

class ControlCallbacks {
 public:
  // Which callbacks a service object raises: the printer all four, the cash drawer only
  // "SODirectIO" and "SOStatusUpdate".
  enum class Set { kAll, kStatusAndDirectIO };
  // Looks up "SODirectIO", "SOError", "SOOutputComplete" and "SOStatusUpdate" in that order
  // (of `set`). The pointer is kept without a reference: the control object owns this
  // service object and outlives it. False (and nothing kept) when any lookup fails.
  bool Attach(platform::automation::Dispatch* control, Set set = Set::kAll);
  void Detach() { control_ = nullptr; }
  bool Attached() const { return control_ != nullptr; }

  // Invocation results are ignored: the control object's answer travels only through the
  // by-reference arguments.
  void DirectIO(int32_t number, int32_t& data, std::string& text);
  void Error(int32_t result, int32_t extended, int32_t locus, int32_t& response);
  void OutputComplete(int32_t output_id);
  void StatusUpdate(int32_t data);

 private:
  platform::automation::Dispatch* control_ = nullptr;
  platform::automation::DispId direct_io_ = 0, error_ = 0, output_complete_ = 0, status_update_ = 0;
};

}  // namespace service_core
