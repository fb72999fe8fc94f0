#include "fd_util.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace vdev {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (!fd_.Valid()) throw std::runtime_error(ErrnoText("eventfd"));
}

void WakeEvent::Signal() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(fd_.Get(), &one, sizeof one);
}

void WakeEvent::Drain() {
  uint64_t value;
  [[maybe_unused]] const ssize_t n = ::read(fd_.Get(), &value, sizeof value);
}

bool WriteAll(int fd, std::span<const uint8_t> bytes, int timeout_ms, bool is_socket) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = is_socket ? ::send(fd, bytes.data() + done, bytes.size() - done,
                                         MSG_NOSIGNAL | MSG_DONTWAIT)
                                : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left));
  }
  return true;
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace vdev
