// What a port link needs from the service object that uses it. The printer and the cash
// drawer service objects implement it; a link holds one reference of each kind.
#pragma once

#include <cstdint>

namespace service_core {

class PortUser {
 public:
  virtual ~PortUser() = default;
  // The printer lost power: images downloaded to it are gone.
  virtual void OnPrinterPowerLost() {}
  // The printer's answer to a completion (process identifier) request arrived.
  virtual void OnCompletionAnswer() {}
  // Drawer: the pin-3 level that means "open" (OpenLevel); printers never ask.
  virtual int DrawerOpenLevel() const { return 1; }
  // Printer: output is queued or being printed, and when bytes last went to the printer
  // (millisecond clock, 0 for never). A drawer sharing the port keeps out of their way.
  virtual bool OutputPending() const { return false; }
  virtual uint64_t LastOutputMs() const { return 0; }
};

}  // namespace service_core
