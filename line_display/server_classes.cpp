// What the display library serves and registers.
#include "display_identifiers.h"
#include "line_display.h"
#include "platform/inproc_server.h"

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {line_display::kDisplayProgId, line_display::kDisplayClsid,
       "OPOS Line Display Service Object", &NewServerObject<line_display::CLineDisplay>},
  };
  return kClasses;
}

}  // namespace platform::automation
