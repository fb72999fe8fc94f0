#include "ui_qt/program_dir.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

namespace ui_qt {

std::string ProgramDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ProgramDataFile(const std::string& name) {
  const std::string beside = ProgramDir() + "/" + name;
  std::error_code ec;
  if (std::filesystem::exists(beside, ec)) return beside;
  const std::string installed = ProgramDir() + "/../share/opos/" + name;
  return std::filesystem::exists(installed, ec) ? installed : beside;
}

}  // namespace ui_qt
