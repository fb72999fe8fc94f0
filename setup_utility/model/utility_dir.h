// The folder the running program lies in: where the logo program is looked for.
// The device information files lie beside the program in the build tree and in
// share/opos/inf of an installed tree (bin/../share/opos/inf).
#pragma once

#include <string>

namespace confix {

std::string UtilityDirectory();
// The program's folder when it holds a device information file, else the installed folder.
std::string InfDirectory();

}  // namespace confix
