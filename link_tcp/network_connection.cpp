#include "network_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace service_core {
namespace {
constexpr int kSocketTimeoutMs = 1000;
}  // namespace

NetworkConnection& NetworkConnection::Process() {
  static NetworkConnection connection;
  return connection;
}

void NetworkConnection::Fail(const std::string& what) {
  std::lock_guard lock(error_mutex_);
  last_error_ = what + ": " + std::strerror(errno);
}

std::string NetworkConnection::LastError() const {
  std::lock_guard lock(error_mutex_);
  return last_error_;
}

bool NetworkConnection::Connect(const std::string& address, int port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  if (port < 1 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
    errno = EINVAL;
    Fail("address " + address + ":" + std::to_string(port));
    return false;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Fail("socket");
    return false;
  }
  const timeval timeout{kSocketTimeoutMs / 1000, (kSocketTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    Fail("connect " + address + ":" + std::to_string(port));
    ::close(fd);
    return false;
  }
  int old = -1;
  {
    std::scoped_lock lock(send_mutex_, receive_mutex_);
    address_ = address;
    port_ = port;
    old = fd_.exchange(fd);
  }
  if (old >= 0) ::close(old);
  return true;
}

void NetworkConnection::NoteLoss(int fd) {
  // The kernel keeps the count of unacknowledged bytes after the printer reset the
  // connection; those may never have reached it, all others did.
  int unacknowledged = 0;
  if (::ioctl(fd, SIOCOUTQ, &unacknowledged) != 0 || unacknowledged < 0) unacknowledged = 0;
  const uint64_t sent = sent_;
  reached_at_loss_ = sent - std::min<uint64_t>(sent, static_cast<uint64_t>(unacknowledged));
  ++losses_;
}

bool NetworkConnection::Reconnect() {
  std::string address;
  int port = 0;
  {
    std::lock_guard lock(send_mutex_);
    address = address_;
    port = port_;
  }
  return !address.empty() && Connect(address, port);
}

void NetworkConnection::Close() {
  // Taken under both locks so no send or receive is using the descriptor as it goes.
  std::scoped_lock lock(send_mutex_, receive_mutex_);
  const int fd = fd_.exchange(-1);
  if (fd >= 0) {
    NoteLoss(fd);
    ::close(fd);
  }
}

bool NetworkConnection::Send(const uint8_t* bytes, size_t length, uint64_t* stream_start) {
  std::lock_guard lock(send_mutex_);
  if (stream_start) *stream_start = sent_;
  const int fd = fd_;
  if (fd < 0) return false;
  size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd, bytes + sent, length - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("send");  // EAGAIN here is the 1000 ms send time-out
      return false;
    }
    sent += static_cast<size_t>(n);
    sent_ += static_cast<uint64_t>(n);
  }
  return true;
}

long NetworkConnection::Receive(uint8_t* buffer, size_t max, int timeout_ms) {
  std::lock_guard lock(receive_mutex_);
  const int fd = fd_;
  if (fd < 0) return -1;
  if (max == 0) return 0;
  pollfd p{fd, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeout_ms);
  if (ready <= 0) return 0;
  const ssize_t n = ::recv(fd, buffer, max, MSG_DONTWAIT);
  if (n > 0) return n;
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  if (n < 0) Fail("recv");
  return -1;
}

}  // namespace service_core
