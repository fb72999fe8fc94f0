// What a virtual display received, as text, for the attachment tests.
#pragma once

#include <string>

#include "virtual_devices/virtual_display.h"

namespace vdev {

inline std::string Received(const VirtualDisplay& display) {
  const auto capture = display.Capture();
  return std::string(capture.begin(), capture.end());
}

}  // namespace vdev
