// The control object's callbacks the display uses: looked up by name at OpenService and
// invoked on the thread that opened the device.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dispatch.h"

namespace line_display {

class DisplayCallbacks {
 public:
  // Looks up "SODirectIO" and "SOStatusUpdate". The pointer is kept without a reference:
  // the control object owns the service object and outlives it. False when a lookup fails.
  bool Attach(platform::automation::Dispatch* control);
  void DirectIO(int32_t number, int32_t& data, std::string& text);
  void StatusUpdate(int32_t data);

 private:
  platform::automation::Dispatch* control_ = nullptr;
  platform::automation::DispId direct_io_ = 0, status_update_ = 0;
};

}  // namespace line_display
