// Members every control object has: the common OPOS properties and methods.
#pragma once

#include <span>

#include "control_objects/member_table.h"

namespace opos::control {

std::span<const PropertyInfo> CommonProperties();
std::span<const MethodInfo> CommonMethods();

}  // namespace opos::control
