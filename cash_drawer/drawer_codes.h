// The identifiers and numbers particular to the cash drawer service object.
#pragma once

#include <cstdint>

namespace service_core::drawer {

// Serial build. Fixed, so an application's registry entries stay valid between builds.
inline constexpr const char* kProgId = "Standard.CashDrawer.SO";
inline constexpr const char* kClsid = "{4B1E7F52-8C3A-4D19-B6E2-0A9C5D7F3E61}";
inline constexpr const char* kDispatchInterfaceId = "{9D6A2C14-3E7B-4F58-A1C9-5B8E0D2F7A43}";

// Property indexes of the drawer.
inline constexpr int32_t kPropDrawerOpened = 1001;
inline constexpr int32_t kPropCapStatus = 1501;

// Status update values.
inline constexpr int32_t kDrawerClosed = 0;  // CASH_SUE_DRAWERCLOSED
inline constexpr int32_t kDrawerOpen = 1;    // CASH_SUE_DRAWEROPEN

}  // namespace service_core::drawer
