// The automation members of a control object as data: every property with its OPOS property
// index, every method with its parameters, and the standard control-object dispatch
// identifiers. One table per device class; lookups ignore letter case.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace opos::control {

enum class PropertyKind { Number, Bool, String };

struct PropertyInfo {
  std::string_view name;
  int32_t index;  // OPOS property index; 0 marks a property of the control object itself
  PropertyKind kind;
  bool writable;
  int32_t dispid;
};

enum class ParamType { Long, String, LongRef, StringRef };

struct ParamInfo {
  std::string_view name;
  ParamType type;
};

struct MethodInfo {
  std::string_view name;     // the name applications use
  std::string_view so_name;  // the service-object member it forwards to
  int32_t dispid;
  std::vector<ParamInfo> params;
};

struct DeviceTable {
  std::string_view class_name;  // "POSPrinter", "CashDrawer", "LineDisplay"
  std::span<const PropertyInfo> common_properties;
  std::span<const PropertyInfo> properties;
  std::span<const MethodInfo> common_methods;
  std::span<const MethodInfo> methods;

  const PropertyInfo* FindProperty(std::string_view name) const;
  const PropertyInfo* FindPropertyByIndex(int32_t index) const;
  const PropertyInfo* FindPropertyByDispId(int32_t dispid) const;
  const MethodInfo* FindMethod(std::string_view name) const;
  const MethodInfo* FindMethodByDispId(int32_t dispid) const;
};

// Dispatch identifiers of members the control object handles itself.
inline constexpr int32_t kDispIdOpen = 37;
inline constexpr int32_t kDispIdClose = 35;

const DeviceTable& PosPrinterTable();
const DeviceTable& CashDrawerTable();
const DeviceTable& LineDisplayTable();
// nullptr for an unknown class name (matched without regard to case).
const DeviceTable* FindDeviceTable(std::string_view class_name);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace opos::control
