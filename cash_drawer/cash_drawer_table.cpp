// The automation interface of CCashDrawer, in interface order.
#include "cash_drawer.h"

namespace service_core {

using D = CCashDrawer;

const platform::automation::DispatchTable<CCashDrawer>& CCashDrawer::AutomationTable() {
  static const platform::automation::DispatchTable<D> table =
      platform::automation::DispatchTable<D>()
          .Method("OpenService", &D::OpenService)
          .Method("CloseService", &D::CloseService)
          .Method("Close", &D::CloseService)
          .Method("ClaimDevice", &D::ClaimDevice)
          .Method("Claim", &D::ClaimDevice)
          .Method("ReleaseDevice", &D::ReleaseDevice)
          .Method("Release", &D::ReleaseDevice)
          .Method("CheckHealth", &D::CheckHealth)
          .Method("DirectIO", &D::DirectIO)
          .Method("COFreezeEvents", &D::COFreezeEvents)
          .Method("GetPropertyNumber", &D::GetPropertyNumber)
          .Method("SetPropertyNumber", &D::SetPropertyNumber)
          .Method("GetPropertyString", &D::GetPropertyString)
          .Method("SetPropertyString", &D::SetPropertyString)
          .Method("OpenDrawer", &D::OpenDrawer)
          .Method("WaitForDrawerClose", &D::WaitForDrawerClose);
  return table;
}

}  // namespace service_core
