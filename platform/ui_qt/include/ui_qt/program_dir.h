// The directory the running program was started from (its files lie beside it in the
// build tree).
#pragma once

#include <string>

namespace ui_qt {

std::string ProgramDir();
// A data file of the program: beside it when there (the build tree), else in the installed
// data folder bin/../share/opos.
std::string ProgramDataFile(const std::string& name);

}  // namespace ui_qt
