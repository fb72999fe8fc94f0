// What a port link needs from the service object that uses it. The printer and the cash
// drawer service objects implement it; a link holds one reference of each kind.
#pragma once

#include <cstdint>

#include "printer_answers.h"

namespace service_core {

class PortUser {
 public:
  virtual ~PortUser() = default;
  // The printer lost power: images downloaded to it are gone.
  virtual void OnPrinterPowerLost() {}
  // The printer answered a request of ours: a completion (process identifier) request or
  // the real-time buffer clear. Answers arrive in the order the printer sent them.
  virtual void OnPrinterAnswer(const PrinterAnswer& /*answer*/) {}
  // Drawer: the pin-3 level that means "open" (OpenLevel); printers never ask.
  virtual int DrawerOpenLevel() const { return 1; }
  // Printer: output is queued or being printed, and when bytes last went to the printer
  // (millisecond clock, 0 for never). A drawer sharing the port keeps out of their way.
  virtual bool OutputPending() const { return false; }
  virtual uint64_t LastOutputMs() const { return 0; }
};

}  // namespace service_core
