#include "control_objects/cash_drawer.h"
#include "control_objects/control_object.h"
#include "control_objects/line_display.h"
#include "control_objects/pos_printer.h"

namespace opos::control {

ObjectRef<ControlObject> CreateControlObject(std::string_view class_name) {
  if (EqualsIgnoreCase(class_name, "POSPrinter")) return POSPrinter::Create();
  if (EqualsIgnoreCase(class_name, "CashDrawer")) return CashDrawer::Create();
  if (EqualsIgnoreCase(class_name, "LineDisplay")) return LineDisplay::Create();
  return {};
}

}  // namespace opos::control
