#include "serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/event.h"

namespace service_core {

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::BaudFromCode(int code, unsigned& speed) {
  switch (code) {
    case 3:
      speed = B1200;
      return true;
    case 4:
      speed = B2400;
      return true;
    case 5:
      speed = B4800;
      return true;
    case 6:
      speed = B9600;
      return true;
    case 7:
      speed = B19200;
      return true;
    case 8:
      speed = B38400;
      return true;
    case 9:
      speed = B57600;
      return true;
    case 10:
      speed = B115200;
      return true;
    default:
      return false;
  }
}

bool SerialDevice::Fail(const std::string& what) {
  last_error_ = what + ": " + std::strerror(errno);
  return false;
}

bool SerialDevice::Open(const std::string& path, const LineSettings& settings) {
  Close();
  path_ = path;
  settings_ = settings;
  unsigned speed = 0;
  if (!BaudFromCode(settings.baud_code, speed) || settings.parity_code < 0 ||
      settings.parity_code > 2 || (settings.stop_code != 1 && settings.stop_code != 2)) {
    last_error_ = "invalid line settings";
    return false;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail("open " + path);
  // Exclusive use: flock keeps out other processes that cooperate, TIOCEXCL the rest.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    Fail("port in use " + path);
    ::close(fd);
    return false;
  }
  ::ioctl(fd, TIOCEXCL);
  struct stat st {};
  if (::fstat(fd, &st) == 0) device_id_ = S_ISCHR(st.st_mode) ? st.st_rdev : st.st_ino;
  fd_ = fd;
  if (!Configure(settings)) {
    Close();
    return false;
  }
  Purge();
  return true;
}

bool SerialDevice::Configure(const LineSettings& settings) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return Fail("tcgetattr");
  ::cfmakeraw(&tio);
  unsigned speed = 0;
  BaudFromCode(settings.baud_code, speed);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (settings.parity_code != 0) {
    tio.c_cflag |= PARENB;
    tio.c_iflag |= INPCK;
    if (settings.parity_code == 2) tio.c_cflag |= PARODD;
  }
  if (settings.stop_code == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return Fail("tcsetattr");
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIS, &lines);  // a pseudo-terminal has no modem lines: ignore failure
  return true;
}

void SerialDevice::Close() {
  const int fd = fd_.exchange(-1);
  if (fd >= 0) {
    // Whoever else holds the terminal open (a pseudo-terminal's other user) keeps the
    // exclusive mode, which would refuse our next open.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
  }
}

bool SerialDevice::Gone() const {
  const int fd = fd_;
  if (fd < 0) return true;
  pollfd p{fd, 0, 0};  // hang-up and errors are reported whatever is asked for
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return true;
  return (S_ISCHR(st.st_mode) ? st.st_rdev : st.st_ino) != device_id_;
}

bool SerialDevice::Reopen() {
  const std::string path = path_;
  return Open(path, settings_);
}

bool SerialDevice::WaitForHangUp(int wake_fd, int timeout_ms) const {
  const int fd = fd_;
  if (fd < 0) return true;
  // Hang-up and errors are reported whatever is asked for.
  pollfd p[2] = {{fd, 0, 0}, {wake_fd, POLLIN, 0}};
  if (::poll(p, wake_fd >= 0 ? 2 : 1, timeout_ms) <= 0) return false;
  return (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SerialDevice::Purge() {
  if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
}

bool SerialDevice::Write(const uint8_t* data, size_t length, int timeout_ms) {
  if (fd_ < 0) return false;
  const uint64_t deadline = platform::TickCountMs() + static_cast<uint64_t>(timeout_ms);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(fd_, data + done, length - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("write");
      Purge();
      return false;
    }
    const uint64_t now = platform::TickCountMs();
    if (now >= deadline) break;
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(deadline - now));
  }
  // The bytes count as written once they have left the output queue; a device that does
  // not take them in time is treated as gone.
  while (done == length) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
    if (platform::TickCountMs() >= deadline) break;
    platform::SleepMs(2);
  }
  last_error_ = "write timed out";
  Purge();
  return false;
}

size_t SerialDevice::BytesWaiting() const {
  int waiting = 0;
  if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
  return static_cast<size_t>(waiting);
}

size_t SerialDevice::Read(uint8_t* buffer, size_t max) {
  if (fd_ < 0 || max == 0) return 0;
  ssize_t n = ::read(fd_, buffer, max);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

ModemStatus SerialDevice::Modem() const {
  ModemStatus status;
  int bits = 0;
  const int fd = fd_;
  if (fd >= 0 && ::ioctl(fd, TIOCMGET, &bits) == 0) {
    status.cts = bits & TIOCM_CTS;
    status.dsr = bits & TIOCM_DSR;
    status.dcd = bits & TIOCM_CAR;
    status.ri = bits & TIOCM_RNG;
    return status;
  }
  // Only a terminal without modem lines answers "not supported"; a hung-up one (its
  // adapter unplugged, its pseudo-terminal closed) answers EIO and has no lines at all.
  if (fd < 0 || (errno != ENOTTY && errno != EINVAL))
    return ModemStatus{false, false, false, false};
  // No modem lines: a virtual device publishes them beside its device link as
  // "CTS=1 DSR=1 DCD=1 RI=0".
  std::ifstream side(path_ + ".lines");
  std::string word;
  while (side >> word) {
    const auto eq = word.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = word.substr(0, eq);
    const bool on = word.substr(eq + 1) == "1";
    if (name == "CTS")
      status.cts = on;
    else if (name == "DSR")
      status.dsr = on;
    else if (name == "DCD")
      status.dcd = on;
    else if (name == "RI")
      status.ri = on;
  }
  return status;
}

}  // namespace service_core
