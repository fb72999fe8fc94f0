#include "utility_dir.h"

#include <filesystem>

namespace confix {
namespace fs = std::filesystem;

std::string UtilityDirectory() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

std::string InfDirectory() {
  const fs::path beside = UtilityDirectory();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(beside, ec)) {
    if (entry.path().extension() == ".inf") return beside.string();
  }
  const fs::path installed = beside / ".." / "share" / "opos" / "inf";
  return fs::is_directory(installed, ec) ? fs::weakly_canonical(installed, ec).string()
                                         : beside.string();
}

}  // namespace confix
