#include "virtual_devices/tcp_attachment.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "answer_channel.h"
#include "fd_util.h"

namespace vdev {

TcpAttachment::TcpAttachment(DeviceModel& model, TcpOptions options)
    : Attachment(model), options_(std::move(options)) {}

TcpAttachment::~TcpAttachment() { Stop(); }

std::string TcpAttachment::Where() const {
  return "tcp " + options_.address + ":" + std::to_string(Port());
}

int TcpAttachment::BindPort(std::string& error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_ != 0 ? port_.load() : options_.port));
  const std::string host = options_.address == "localhost" ? "127.0.0.1" : options_.address;
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    error = "not an IPv4 address: " + options_.address;
    return -1;
  }
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.Valid()) return error = ErrnoText("socket"), -1;
  const int yes = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  // A printer's network interface takes a few kilobytes ahead of its print buffer, not the
  // megabytes a host's TCP would: a slow printer makes the host wait, as a real one does.
  // Connections inherit the size from the listener.
  const int receive_buffer = 8192;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = ErrnoText("bind " + options_.address + ":" + std::to_string(ntohs(address.sin_port)));
    return -1;
  }
  socklen_t length = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return fd.Release();
}

bool TcpAttachment::Listen(std::string& error) {
  UniqueFd fd(held_fd_ >= 0 ? std::exchange(held_fd_, -1) : BindPort(error));
  if (!fd.Valid()) return false;
  if (::listen(fd.Get(), 4) != 0) return error = ErrnoText("listen"), false;
  listen_fd_ = fd.Release();
  return true;
}

bool TcpAttachment::Start(std::string& error) {
  if (started_) return true;
  if (options_.port < 0 || options_.port > 65535) {
    error = "TCP port out of range: " + std::to_string(options_.port);
    return false;
  }
  port_ = 0;
  if (!Listen(error)) return false;
  channel_ = std::make_shared<AnswerChannel>();
  std::shared_ptr<AnswerChannel> channel = channel_;
  std::shared_ptr<LinePacing> pacing = pacing_;
  // "split N MS" cuts answers in pieces here as on a serial line.
  model_.SetAnswerSink([channel, pacing](std::span<const uint8_t> bytes) {
    pacing->Answer(bytes, [channel](std::span<const uint8_t> part) { channel->Write(part); });
  });
  started_ = true;
  StartIoThread();
  return true;
}

void TcpAttachment::Stop() {
  if (!started_) return;
  StopIoThread();
  model_.SetAnswerSink([](std::span<const uint8_t>) {});
  DropClient(false);
  if (listen_fd_ >= 0) ::close(listen_fd_);
  if (held_fd_ >= 0) ::close(held_fd_);
  listen_fd_ = held_fd_ = -1;
  started_ = false;
}

void TcpAttachment::DropClient(bool reset) {
  const int fd = client_fd_.exchange(-1);
  if (fd < 0) return;
  channel_->Detach();
  if (reset) {
    // A printer that resets the connection keeps what its TCP acknowledged, as a printer
    // reading into its own buffer would: the host counts those bytes as arrived. What is
    // queued is acknowledged at once and copied without being taken, so that the window
    // does not open: the host's bytes still on their way are never acknowledged.
    const int now = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &now, sizeof now);
    int queued = 0;
    if (::ioctl(fd, FIONREAD, &queued) == 0 && queued > 0) {
      std::vector<uint8_t> buffer(static_cast<size_t>(queued));
      const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
      if (n > 0) kept_after_reset_.insert(kept_after_reset_.end(), buffer.begin(), buffer.begin() + n);
    }
    const linger abort_on_close{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  }
  ::close(fd);
}

bool TcpAttachment::TransportCommand(const std::vector<std::string>& words, bool& ok,
                                     std::string& reply) {
  if (words[0] == "disconnect" && words.size() == 1) {
    bool had_client = false;
    RunOnIoThread([&] {
      had_client = HostConnected();
      DropClient(true);
    });
    if (!had_client) reply = "no host connected";
    ok = true;
    return true;
  }
  if (words[0] == "refuse") {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) {
      ok = false;
      reply = "usage: refuse on|off";
      return true;
    }
    ok = true;
    RunOnIoThread([&] {
      if (words[1] == "on" && listen_fd_ >= 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
        // The port stays bound without a listener: connections are refused, and neither
        // another program's listener nor a connecting host's own source port can take it.
        held_fd_ = BindPort(reply);
        ok = held_fd_ >= 0;
      } else if (words[1] == "off" && listen_fd_ < 0 && started_) {
        ok = Listen(reply);
      }
    });
    return true;
  }
  return false;
}

void TcpAttachment::IoLoop() {
  uint8_t buffer[4096];
  while (!Stopping()) {
    if (!kept_after_reset_.empty()) {
      const std::vector<uint8_t> kept = std::move(kept_after_reset_);
      kept_after_reset_.clear();
      Deliver(kept);
      continue;
    }
    pollfd fds[2] = {{WakeFd(), POLLIN, 0}, {-1, POLLIN, 0}};
    // While a host is connected the listener is not watched: the next host waits.
    fds[1].fd = client_fd_ >= 0 ? client_fd_.load() : listen_fd_;
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[0].revents) {
      DrainWake();
      RunPendingRequests();
      continue;
    }
    if (!fds[1].revents) continue;
    if (client_fd_ < 0) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      client_fd_ = fd;
      channel_->Attach(fd, true);
      continue;
    }
    const ssize_t n = ::recv(client_fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      Deliver(std::span(buffer, static_cast<size_t>(n)));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      DropClient(false);  // the host closed the connection or it broke
    }
  }
}

}  // namespace vdev
