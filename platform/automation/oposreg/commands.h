// The operations of the registration program. Each writes its results to `out`, its
// failures to `err`, and returns true on success.
#pragma once

#include <iosfwd>
#include <string>

namespace oposreg {

bool RegisterLibrary(const std::string& library, std::ostream& out, std::ostream& err);
bool UnregisterLibrary(const std::string& library, std::ostream& out, std::ostream& err);
// One line per registered in-process class: ProgID, CLSID, library path, and "(missing)"
// when the library file does not exist. Only classes of `library` when it is not empty.
bool ListClasses(const std::string& library, std::ostream& out, std::ostream& err);
// `file` "-" reads standard input.
bool ImportFile(const std::string& file, std::ostream& out, std::ostream& err);
bool ExportKey(const std::string& key, std::ostream& out, std::ostream& err);

}  // namespace oposreg
