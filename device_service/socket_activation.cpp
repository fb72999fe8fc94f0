#include "socket_activation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace oposd {

namespace {

constexpr int kFirstInheritedFd = 3;

bool ParseNumber(const char* text, long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && *end == '\0' && value >= 0;
}

}  // namespace

std::vector<int> InheritedListeningSockets() {
  long pid = 0, count = 0;
  const bool ours = ParseNumber(std::getenv("LISTEN_PID"), pid) && pid == ::getpid() &&
                    ParseNumber(std::getenv("LISTEN_FDS"), count);
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  std::vector<int> fds;
  if (!ours) return fds;
  for (int fd = kFirstInheritedFd; fd < kFirstInheritedFd + count; ++fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags < 0) continue;  // not open after all
    ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    fds.push_back(fd);
  }
  return fds;
}

}  // namespace oposd
