#include "control_objects/member_table.h"

#include <cctype>

namespace opos::control {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

namespace {

template <typename T, typename Match>
const T* FindIn(std::span<const T> first, std::span<const T> second, Match match) {
  for (const T& item : first)
    if (match(item)) return &item;
  for (const T& item : second)
    if (match(item)) return &item;
  return nullptr;
}

}  // namespace

const PropertyInfo* DeviceTable::FindProperty(std::string_view name) const {
  return FindIn(common_properties, properties,
                [&](const PropertyInfo& p) { return EqualsIgnoreCase(p.name, name); });
}

const PropertyInfo* DeviceTable::FindPropertyByIndex(int32_t index) const {
  if (index == 0) return nullptr;
  return FindIn(common_properties, properties,
                [&](const PropertyInfo& p) { return p.index == index; });
}

const PropertyInfo* DeviceTable::FindPropertyByDispId(int32_t dispid) const {
  return FindIn(common_properties, properties,
                [&](const PropertyInfo& p) { return p.dispid == dispid; });
}

const MethodInfo* DeviceTable::FindMethod(std::string_view name) const {
  return FindIn(common_methods, methods,
                [&](const MethodInfo& m) { return EqualsIgnoreCase(m.name, name); });
}

const MethodInfo* DeviceTable::FindMethodByDispId(int32_t dispid) const {
  return FindIn(common_methods, methods, [&](const MethodInfo& m) { return m.dispid == dispid; });
}

const DeviceTable* FindDeviceTable(std::string_view class_name) {
  for (const DeviceTable* table : {&PosPrinterTable(), &CashDrawerTable(), &LineDisplayTable()})
    if (EqualsIgnoreCase(table->class_name, class_name)) return table;
  return nullptr;
}

}  // namespace opos::control
