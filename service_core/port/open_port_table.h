// The process-wide table of open ports. A printer link and a drawer link that name the
// same device share one open device; the table keeps who uses it and who has claimed it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial_device.h"

namespace service_core {

class SerialPrinterPort;
class PortUser;

inline constexpr size_t kMaxOpenPorts = 4;

struct OpenPortEntry {
  std::string identity;  // the device the port name resolved to
  int port_number = 0;
  SerialDevice device;
  std::mutex write_mutex;  // one WritePort at a time, so jobs never interleave on the line
  int users = 0;
  SerialPrinterPort* owner = nullptr;
  PortUser* registered_user = nullptr;  // the service object of the current owner
  bool printer_claimed = false;
  bool drawer_claimed = false;
  std::vector<SerialPrinterPort*> links;
};

struct OpenPortTable {
  static std::mutex& Mutex();
  static std::vector<std::shared_ptr<OpenPortEntry>>& Entries();
};

}  // namespace service_core
