#include "platform/event.h"
#include "printer_port.h"

namespace service_core {

int CPrinterPort::StatusFromFlags() {
  int condition = kPortReady;
  if (cover_open_)
    condition = kPortCoverOpen;
  else if (paper_empty_)
    condition = kPortPaperEmpty;
  else if (offline_)
    condition = kPortNoAnswer;
  if (condition != kPortReady) {
    recent_error_ = true;
    return condition;
  }
  if (recent_error_) {
    platform::SleepMs(500);
    recent_error_ = false;
  }
  return kPortReady;
}

}  // namespace service_core
