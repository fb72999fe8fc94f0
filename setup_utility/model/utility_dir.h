// The folder the running program lies in: where the device information files and the logo
// program are looked for.
#pragma once

#include <string>

namespace confix {

std::string UtilityDirectory();

}  // namespace confix
