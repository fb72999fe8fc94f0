// What the library serves and registers: the printer and the cash drawer. The identifiers
// are fixed per build: an application's registry entries stay valid from one release to
// the next.
#include "build_differences.h"
#include "cash_drawer.h"
#include "platform/inproc_server.h"
#include "pos_printer.h"

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  const auto& build = service_core::ThisBuild();
  static const ClassInfo kClasses[] = {
      {build.printer_prog_id, build.printer_clsid, build.printer_service_description,
       &NewServerObject<service_core::CPOSPrinter>},
      {build.drawer_prog_id, build.drawer_clsid, build.drawer_service_description,
       &NewServerObject<service_core::CCashDrawer>},
  };
  return kClasses;
}

}  // namespace platform::automation
