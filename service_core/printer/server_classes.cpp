// What the serial-build library serves and registers. The identifiers are fixed: an
// application's registry entries stay valid from one build to the next.
#include "platform/inproc_server.h"
#include "pos_printer.h"
#include "service_identifiers.h"

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {service_core::kPrinterProgId, service_core::kPrinterClsid, "OPOS POSPrinter Service Object",
       &NewServerObject<service_core::CPOSPrinter>},
  };
  return kClasses;
}

}  // namespace platform::automation
