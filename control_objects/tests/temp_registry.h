// A fresh registry store in a temporary directory, with the test service object registered
// through its own DllRegisterServer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "test_support/temp_registry.h"

namespace opos::control::testing {

class TempRegistry : public test_support::TempRegistry {
 public:
  TempRegistry();

  // Adds HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\<class>\<key> with `prog_id` as its default
  // value (none when empty).
  void AddDevice(std::string_view device_class, std::string_view key, std::string_view prog_id);
  void AddLogicalName(std::string_view device_class, std::string_view name, std::string_view key);
  void SetDeviceDword(std::string_view device_class, std::string_view key,
                      std::string_view value_name, uint32_t value);
};

// Absolute path of the test service object library.
std::string TestServiceLibrary();

}  // namespace opos::control::testing
