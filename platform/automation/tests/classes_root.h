// Reading and writing default values under HKEY_CLASSES_ROOT, for registration tests.
#pragma once

#include <string>

#include "test_support/temp_registry.h"

namespace automation_test {

using test_support::TempRegistry;

// HKEY_CLASSES_ROOT\<path> default value, or "<missing>".
std::string ClassesRootDefault(const std::string& path);
void WriteClassesRootDefault(const std::string& path, const std::string& value);

}  // namespace automation_test
