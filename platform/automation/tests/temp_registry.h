// A registry store in a fresh temporary directory for the lifetime of a test.
#pragma once

#include <string>

namespace automation_test {

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& dir() const { return dir_; }
  const std::string& database() const { return database_; }

 private:
  std::string dir_;
  std::string database_;
};

// HKEY_CLASSES_ROOT\<path> default value, or "<missing>".
std::string ClassesRootDefault(const std::string& path);
void WriteClassesRootDefault(const std::string& path, const std::string& value);

}  // namespace automation_test
