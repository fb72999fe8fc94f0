// What the serial-build library serves and registers: the printer and the cash drawer. The
// identifiers are fixed: an application's registry entries stay valid from one build to
// the next.
#include "cash_drawer.h"
#include "drawer_codes.h"
#include "platform/inproc_server.h"
#include "pos_printer.h"
#include "service_identifiers.h"

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {service_core::kPrinterProgId, service_core::kPrinterClsid, "OPOS POSPrinter Service Object",
       &NewServerObject<service_core::CPOSPrinter>},
      {service_core::drawer::kProgId, service_core::drawer::kClsid,
       "OPOS Cash Drawer Service Object", &NewServerObject<service_core::CCashDrawer>},
  };
  return kClasses;
}

}  // namespace platform::automation
