// A fresh registry store in a temporary directory, with the test service object registered
// through its own DllRegisterServer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace opos::control::testing {

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& Dir() const { return dir_; }
  const std::string& DatabasePath() const { return db_path_; }

  // Adds HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\<class>\<key> with `prog_id` as its default
  // value (none when empty).
  void AddDevice(std::string_view device_class, std::string_view key, std::string_view prog_id);
  void AddLogicalName(std::string_view device_class, std::string_view name, std::string_view key);
  void SetDeviceDword(std::string_view device_class, std::string_view key,
                      std::string_view value_name, uint32_t value);

 private:
  std::string dir_;
  std::string db_path_;
};

// Absolute path of the test service object library.
std::string TestServiceLibrary();

}  // namespace opos::control::testing
