// The directory the running program was started from (its files lie beside it).
#pragma once

#include <string>

namespace ui_qt {

std::string ProgramDir();

}  // namespace ui_qt
