// The cash drawer control object.
#pragma once

#include "control_objects/control_object.h"

namespace opos::control {

class CashDrawer : public ControlObject {
 public:
  static ObjectRef<CashDrawer> Create() { return ObjectRef<CashDrawer>::Adopt(new CashDrawer); }

  int32_t OpenDrawer() { return CallLong("OpenDrawer", {}); }
  int32_t WaitForDrawerClose(int32_t beep_timeout, int32_t frequency, int32_t duration,
                             int32_t delay) {
    Variant args[] = {Variant(beep_timeout), Variant(frequency), Variant(duration), Variant(delay)};
    return CallLong("WaitForDrawerClose", args);
  }
  bool DrawerOpened() { return GetPropertyNumber(1001) != 0; }

 private:
  CashDrawer() : ControlObject(CashDrawerTable()) {}
};

}  // namespace opos::control
