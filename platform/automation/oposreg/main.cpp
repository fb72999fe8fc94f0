// oposreg: registers and unregisters in-process server libraries and moves registry
// contents in and out as REGEDIT4 text.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/registry.h"
#include "platform/release.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
  out << "usage: oposreg [--registry FILE] COMMAND [ARGUMENTS]\n"
         "commands:\n"
         "  register LIBRARY...    register the classes of each server library\n"
         "  unregister LIBRARY...  remove the registration of each server library\n"
         "  list [LIBRARY]         list registered classes: ProgID, CLSID, library\n"
         "  import FILE            merge a REGEDIT4 file into the registry (- = stdin)\n"
         "  export [KEY]           write KEY (default: everything) as REGEDIT4 text\n"
         "The registry file is FILE, else $OPOS_REGISTRY, else "
      << platform::registry::DefaultDatabasePath() << ".\n";
}

int Usage(const std::string& problem) {
  std::cerr << "oposreg: " << problem << "\n";
  PrintUsage(std::cerr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  size_t next = 0;
  while (next < args.size() && args[next].starts_with("-") && args[next] != "-") {
    const std::string& option = args[next];
    if (option == "--help" || option == "-h") {
      PrintUsage(std::cout);
      return 0;
    }
    if (option == "--version") {
      std::cout << "oposreg " << platform::kReleaseVersion << "\n";
      return 0;
    }
    if (option == "--registry") {
      if (next + 1 >= args.size() || args[next + 1].empty()) {
        return Usage("--registry needs a file name");
      }
      platform::registry::UseDatabase(args[next + 1]);
      next += 2;
      continue;
    }
    return Usage("unknown option " + option);
  }
  if (next >= args.size()) return Usage("no command given");
  std::string command = args[next++];
  std::vector<std::string> operands(args.begin() + static_cast<long>(next), args.end());

  bool ok = true;
  if (command == "register" || command == "unregister") {
    if (operands.empty()) return Usage(command + " needs at least one library");
    for (const std::string& library : operands) {
      bool done = command == "register" ? oposreg::RegisterLibrary(library, std::cout, std::cerr)
                                        : oposreg::UnregisterLibrary(library, std::cout, std::cerr);
      ok = ok && done;  // go on with the other libraries
    }
  } else if (command == "list") {
    if (operands.size() > 1) return Usage("list takes at most one library");
    ok = oposreg::ListClasses(operands.empty() ? "" : operands[0], std::cout, std::cerr);
  } else if (command == "import") {
    if (operands.size() != 1) return Usage("import needs exactly one file");
    ok = oposreg::ImportFile(operands[0], std::cout, std::cerr);
  } else if (command == "export") {
    if (operands.size() > 1) return Usage("export takes at most one key");
    ok = oposreg::ExportKey(operands.empty() ? "" : operands[0], std::cout, std::cerr);
  } else {
    return Usage("unknown command " + command);
  }
  return ok ? 0 : kExitFailure;
}
