// Cash drawer: property indexes, dispatch identifiers and methods.
#include "common_members.h"

namespace opos::control {

namespace {

using K = PropertyKind;
using P = ParamType;

const PropertyInfo kDrawerProperties[] = {
    {"DrawerOpened", 1001, K::Bool, false, 51},
    {"CapStatus", 1501, K::Bool, false, 50},
};

const MethodInfo kDrawerMethods[] = {
    {"OpenDrawer", "OpenDrawer", 60, {}},
    {"WaitForDrawerClose",
     "WaitForDrawerClose",
     61,
     {{"BeepTimeout", P::Long},
      {"BeepFrequency", P::Long},
      {"BeepDuration", P::Long},
      {"BeepDelay", P::Long}}},
};

}  // namespace

const DeviceTable& CashDrawerTable() {
  static const DeviceTable table{"CashDrawer", CommonProperties(), kDrawerProperties,
                                 CommonMethods(), kDrawerMethods};
  return table;
}

}  // namespace opos::control
