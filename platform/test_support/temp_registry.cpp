#include "test_support/temp_registry.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "platform/class_factory.h"
#include "platform/registry.h"

namespace test_support {

TempRegistry::TempRegistry(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  database_ = dir_ + "/registry.db";
  platform::registry::UseDatabase(database_);
}

TempRegistry::~TempRegistry() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

::testing::AssertionResult RegisterServerLibrary(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return ::testing::AssertionFailure() << "dlopen: " << dlerror();
  auto register_server = reinterpret_cast<platform::automation::RegisterServerFn>(
      dlsym(library, platform::automation::kRegisterServerExport));
  const int32_t result = register_server ? register_server() : -1;
  dlclose(library);
  if (!register_server) return ::testing::AssertionFailure() << path << " has no DllRegisterServer";
  if (result != 0) return ::testing::AssertionFailure() << "DllRegisterServer returned " << result;
  return ::testing::AssertionSuccess();
}

}  // namespace test_support
