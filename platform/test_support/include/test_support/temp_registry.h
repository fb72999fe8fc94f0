// Test support: a registry store in a fresh temporary directory, and registration of a
// server library into it through the library's own DllRegisterServer.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace test_support {

// The whole process uses the store in `Dir()` while the object lives; the directory is
// removed with it.
class TempRegistry {
 public:
  explicit TempRegistry(const std::string& prefix = "opos-test");
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& Dir() const { return dir_; }
  const std::string& DatabasePath() const { return database_; }

 private:
  std::string dir_;
  std::string database_;
};

// Loads the library, calls its DllRegisterServer and unloads it again.
::testing::AssertionResult RegisterServerLibrary(const std::string& path);

}  // namespace test_support
