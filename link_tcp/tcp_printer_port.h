// The network build's link: every link of the process shares one TCP connection to the
// printer. A lost connection is noticed by the printer's monitor, which connects again
// every 3000 ms until it succeeds or the link is closed.
#pragma once

#include "network_connection.h"
#include "stream_printer_port.h"

namespace service_core {

class TcpPrinterPort : public StreamPrinterPort {
 public:
  TcpPrinterPort();
  ~TcpPrinterPort() override;

  using CPrinterPort::OpenPort;
  // Connects to settings.address and settings.tcp_port, or joins the process's connection.
  int OpenPort(const PortSettings& settings) override;
  void ClosePort() override;
  std::string LastError() const override;
  std::optional<SharedPrinter> SharingPrinter(bool take_brief_drawer_state = false) override;
  StreamPosition Position() const override {
    return {connection_.Sent(), connection_.Losses(), connection_.ReachedAtLoss()};
  }

 protected:
  bool SendBytes(const uint8_t* bytes, size_t length, uint64_t* stream_start) override;
  long ReceiveBytes(uint8_t* buffer, size_t max, int timeout_ms) override;
  bool DevicePresent() const override { return connection_.Connected(); }
  void OnLost() override;
  // A drawer alone on the connection connects again to the printer's address.
  bool RestoreForDrawer() override;
  void MarkClaimed() override;

 private:
  NetworkConnection& connection_;
};

}  // namespace service_core
