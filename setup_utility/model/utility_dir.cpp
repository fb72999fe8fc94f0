#include "utility_dir.h"

#include <filesystem>

namespace confix {

std::string UtilityDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

}  // namespace confix
