// The one TCP connection to the printer that every link of the process shares, and what
// the process knows about who uses it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace service_core {

class TcpPrinterPort;

class NetworkConnection {
 public:
  static NetworkConnection& Process();

  // Connects to `address` (IPv4 dotted) and `port` with 1000 ms send and receive
  // time-outs (the connect itself is bounded by the send time-out). False when the
  // address is malformed, the printer refuses or does not answer; errno's text is kept.
  bool Connect(const std::string& address, int port);
  // Connects again to the address and port of the last successful Connect.
  bool Reconnect();
  bool Connected() const { return fd_.load() >= 0; }
  void Close();

  // Sends all of `bytes` as one unit: sends from several threads never interleave.
  // `stream_start`, when given, is where in the stream of bytes sent (Sent()) they begin.
  bool Send(const uint8_t* bytes, size_t length, uint64_t* stream_start = nullptr);
  // Waits at most `timeout_ms` for bytes and reads what is there, up to `max`. -1 when the
  // connection was closed by the printer or broke, 0 when nothing came.
  long Receive(uint8_t* buffer, size_t max, int timeout_ms);

  std::string LastError() const;

  // Bytes sent over every connection so far, the connections lost and how many bytes
  // the printer had acknowledged when the last one went (see CPrinterPort::Position).
  uint64_t Sent() const { return sent_; }
  uint64_t Losses() const { return losses_; }
  uint64_t ReachedAtLoss() const { return reached_at_loss_; }

  // Guards the sharing bookkeeping below; held only for short updates.
  std::mutex mutex;
  int open_links = 0;
  bool printer_claimed = false;
  bool drawer_claimed = false;
  TcpPrinterPort* printer_link = nullptr;  // the open link of a printer service object
  TcpPrinterPort* drawer_link = nullptr;   // the open link of a drawer service object

 private:
  NetworkConnection() = default;
  void Fail(const std::string& what);

  // Counts the loss of `fd` (send and receive locks held): what it had not acknowledged.
  void NoteLoss(int fd);

  std::atomic<int> fd_{-1};
  std::atomic<uint64_t> sent_{0};
  std::atomic<uint64_t> losses_{0};
  std::atomic<uint64_t> reached_at_loss_{0};
  std::mutex send_mutex_;
  std::mutex receive_mutex_;
  mutable std::mutex error_mutex_;
  std::string last_error_;
  std::string address_;
  int port_ = 0;
};

}  // namespace service_core
