#include "pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace vdev {

bool PseudoTerminal::Open(std::string& error) {
  Close();
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master.Valid()) return error = ErrnoText("posix_openpt"), false;
  if (::grantpt(master.Get()) != 0) return error = ErrnoText("grantpt"), false;
  if (::unlockpt(master.Get()) != 0) return error = ErrnoText("unlockpt"), false;
  char name[PATH_MAX];
  if (::ptsname_r(master.Get(), name, sizeof name) != 0) return error = ErrnoText("ptsname"), false;
  UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.Valid()) return error = ErrnoText(name), false;
  termios settings{};
  if (::tcgetattr(slave.Get(), &settings) != 0) return error = ErrnoText("tcgetattr"), false;
  ::cfmakeraw(&settings);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::tcsetattr(slave.Get(), TCSANOW, &settings) != 0)
    return error = ErrnoText("tcsetattr"), false;
  SetNonBlocking(master.Get());
  master_ = std::move(master);
  slave_ = std::move(slave);
  slave_path_ = name;
  return true;
}

void PseudoTerminal::HoldHostOutput() {
  if (slave_.Valid()) ::tcflow(slave_.Get(), TCOOFF);
}

void PseudoTerminal::Close() {
  master_.Reset();
  slave_.Reset();
  slave_path_.clear();
}

bool ReplaceSymlink(const std::string& target, const std::string& link, std::string& error) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = link + " exists and is not a symbolic link";
    return false;
  }
  const std::string temp = link + ".tmp" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0) return error = ErrnoText(temp), false;
  if (::rename(temp.c_str(), link.c_str()) != 0) {
    error = ErrnoText(link);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

void RemoveSymlinkIfPointsTo(const std::string& link, const std::string& target) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  if (std::string(buffer, static_cast<size_t>(n)) == target) ::unlink(link.c_str());
}

}  // namespace vdev
