// Attaches a model to a TCP listener, like a printer's raw port: one host at a time; a second
// connection waits in the listen queue until the first one ends.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "virtual_devices/attachment.h"

namespace vdev {

class AnswerChannel;

struct TcpOptions {
  std::string address = "127.0.0.1";  // IPv4 dotted form or "localhost"
  int port = 9100;                    // 0 picks a free port; Port() tells which
};

class TcpAttachment : public Attachment {
 public:
  TcpAttachment(DeviceModel& model, TcpOptions options);
  ~TcpAttachment() override;

  bool Start(std::string& error) override;
  void Stop() override;
  std::string Where() const override;  // "tcp 127.0.0.1:9100"

  int Port() const { return port_.load(); }
  bool HostConnected() const { return client_fd_.load() >= 0; }

 protected:
  // "disconnect": drop the current connection (with a reset, so the host notices at once).
  // "refuse on": stop listening, new connections are refused; the current one stays.
  // "refuse off": listen again on the same port.
  bool TransportCommand(const std::vector<std::string>& words, bool& ok,
                        std::string& reply) override;
  void IoLoop() override;

 private:
  int BindPort(std::string& error);  // a bound socket on the attachment's port, or -1
  bool Listen(std::string& error);   // I/O thread, or before it runs
  void DropClient(bool reset);

  TcpOptions options_;
  std::shared_ptr<AnswerChannel> channel_;
  std::atomic<int> port_{0};
  int listen_fd_ = -1;  // owned by the I/O thread once it runs
  int held_fd_ = -1;    // while refusing: the port, bound and not listening
  std::atomic<int> client_fd_{-1};
  // What the printer's TCP had acknowledged and the printer not yet read when it reset the
  // connection: it is the printer's, and printed after the reset (I/O thread only).
  std::vector<uint8_t> kept_after_reset_;
  bool started_ = false;
};

}  // namespace vdev
