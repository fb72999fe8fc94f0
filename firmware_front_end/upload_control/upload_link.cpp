#include "upload_link.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/event.h"
#include "port_name.h"

namespace flashwise {
namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

bool SpeedOf(int baud_code, speed_t& speed) {
  static constexpr speed_t kSpeeds[] = {B1200,  B2400,  B4800,  B9600,
                                        B19200, B38400, B57600, B115200};
  if (baud_code < 3 || baud_code > 10) return false;
  speed = kSpeeds[baud_code - 3];
  return true;
}

// Microseconds one byte takes on the line: a start bit, 8 data bits, the parity bit when
// there is one, a stop bit.
int64_t ByteTimeUs(const SerialSettings& s) {
  static constexpr int kBitsPerSecond[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  const int bits = s.parity_index == 0 ? 10 : 11;
  return int64_t{bits} * 1'000'000 / kBitsPerSecond[s.baud_code - 3];
}

// 8 data bits, the parity of the list, one stop bit, raw. The handshake list offers only
// DTR/DSR: DTR is raised by opening the port and the printer answers on DSR, which termios
// cannot gate on, so the lines are left alone (CLOCAL).
bool ConfigureSerial(int fd, const SerialSettings& s, std::string& error) {
  speed_t speed{};
  if (!SpeedOf(s.baud_code, speed) || s.bit_length_index != 0 || s.parity_index < 0 ||
      s.parity_index > 2 || s.stop_bit_index != 0 || s.handshake_index != 0) {
    error = "serial settings not offered by the lists";
    return false;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    error = ErrnoText("tcgetattr");
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD | CS8;
  tio.c_cflag &= ~(CSTOPB | CRTSCTS | PARENB | PARODD);
  if (s.parity_index == 1) tio.c_cflag |= PARENB;
  if (s.parity_index == 2) tio.c_cflag |= PARENB | PARODD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    error = ErrnoText("tcsetattr");
    return false;
  }
  tcflush(fd, TCIOFLUSH);
  return true;
}

std::string FirstUsbPrinter() {
  const char* root_env = std::getenv("FLASHWISE_USB_DEVICE_DIR");
  const std::string root = root_env && *root_env ? root_env : "/dev/usb";
  DIR* dir = opendir(root.c_str());
  if (!dir) return {};
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, "lp", 2) == 0) names.emplace_back(entry->d_name);
  }
  closedir(dir);
  if (names.empty()) return {};
  std::sort(names.begin(), names.end());
  return root + "/" + names.front();
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

UploadLink::~UploadLink() {
  if (fd_ >= 0) close(fd_);
}

std::unique_ptr<UploadLink> UploadLink::OpenPort(const std::string& port,
                                                 const SerialSettings& settings,
                                                 std::string& error) {
  std::string path;
  bool serial = false;
  if (StartsWithNoCase(port, "LPT") && (port.size() == 4) && (port[3] == '1' || port[3] == '2')) {
    path = std::string("/dev/lp") + static_cast<char>(port[3] - 1);
  } else if (StartsWithNoCase(port, "USB") && port.size() == 3) {
    path = FirstUsbPrinter();
    if (path.empty()) {
      error = "no USB printer found";
      return nullptr;
    }
  } else if (StartsWithNoCase(port, "COM")) {
    path = service_core::ResolvePortName(port).path;
    serial = true;
  } else if (!port.empty() && port[0] == '/') {
    path = port;
    serial = true;
  } else {
    error = "unknown port " + port;
    return nullptr;
  }
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("open " + path);
    return nullptr;
  }
  std::unique_ptr<UploadLink> link(new UploadLink(fd));
  if (serial && isatty(fd)) {
    if (!ConfigureSerial(fd, settings, error)) return nullptr;
    link->byte_time_us_ = ByteTimeUs(settings);
  }
  return link;
}

std::unique_ptr<UploadLink> UploadLink::Connect(const std::string& address, const std::string& port,
                                                int timeout_ms, std::string& error) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  char* end = nullptr;
  const long number = std::strtol(port.c_str(), &end, 10);
  if (inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1 || port.empty() || *end != '\0' ||
      number < 1 || number > 65535) {
    error = "not an IPv4 address and port: " + address + ":" + port;
    return nullptr;
  }
  peer.sin_port = htons(static_cast<uint16_t>(number));
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = ErrnoText("socket");
    return nullptr;
  }
  std::unique_ptr<UploadLink> link(new UploadLink(fd));
  if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS) {
      error = ErrnoText("connect " + address + ":" + port);
      return nullptr;
    }
    pollfd p{fd, POLLOUT, 0};
    int soerr = 0;
    socklen_t len = sizeof soerr;
    if (poll(&p, 1, timeout_ms) != 1 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len) != 0 ||
        soerr != 0) {
      errno = soerr ? soerr : ETIMEDOUT;
      error = ErrnoText("connect " + address + ":" + port);
      return nullptr;
    }
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return link;
}

int UploadLink::WireTimeMs(size_t count) const {
  return static_cast<int>((static_cast<int64_t>(count) * byte_time_us_ + 999) / 1000);
}

bool UploadLink::Fail(const std::string& what) {
  last_error_ = what;
  return false;
}

bool UploadLink::Write(std::span<const uint8_t> bytes, int timeout_ms) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    const ssize_t written =
        n < 0 && errno == ENOTSOCK ? ::write(fd_, bytes.data() + done, bytes.size() - done) : n;
    if (written > 0) {
      done += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EINTR) return Fail(ErrnoText("write"));
    pollfd p{fd_, POLLOUT, 0};
    const int ready = poll(&p, 1, timeout_ms);
    if (ready == 0) return Fail("the device takes no data");
    if (ready < 0 && errno != EINTR) return Fail(ErrnoText("poll"));
    if (p.revents & (POLLERR | POLLHUP)) return Fail("link closed");
  }
  return true;
}

bool UploadLink::Read(std::span<uint8_t> out, int timeout_ms) {
  const uint64_t deadline = platform::TickCountMs() + static_cast<uint64_t>(timeout_ms);
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::read(fd_, out.data() + done, out.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == 0 && !isatty(fd_)) return Fail("link closed");
    if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail(ErrnoText("read"));
    const uint64_t now = platform::TickCountMs();
    if (now >= deadline) return Fail("no answer");
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(deadline - now)) < 0 && errno != EINTR)
      return Fail(ErrnoText("poll"));
    if ((p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLIN)) return Fail("link closed");
  }
  return true;
}

void UploadLink::DiscardInput() {
  uint8_t scrap[256];
  while (::read(fd_, scrap, sizeof scrap) > 0) {
  }
}

}  // namespace flashwise
