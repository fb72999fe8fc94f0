#include "tcp_printer_port.h"

namespace service_core {
namespace {
// Socket time-outs of 1000 ms: a receive waits that long for the printer's answer.
constexpr StreamPrinterPort::Traits kTcpTraits{
    .probe_budget_ms = 1500, .read_timeout_ms = 1000, .message_boxes = true};
constexpr uint32_t kReconnectEveryMs = 3000;
}  // namespace

TcpPrinterPort::TcpPrinterPort()
    : StreamPrinterPort(kTcpTraits), connection_(NetworkConnection::Process()) {}

TcpPrinterPort::~TcpPrinterPort() { ClosePort(); }

std::string TcpPrinterPort::LastError() const { return connection_.LastError(); }

int TcpPrinterPort::OpenPort(const PortSettings& settings) {
  if (open_) return 1;
  std::lock_guard lock(connection_.mutex);
  const bool drawer = IsDrawerLink();
  if ((drawer && connection_.drawer_claimed) || (!drawer && connection_.printer_claimed)) return 0;
  if ((drawer && connection_.drawer_link) || (!drawer && connection_.printer_link)) return 0;
  if (!connection_.Connected() && !connection_.Connect(settings.address, settings.tcp_port)) {
    // No socket could even be made: the user is told, as a failed connect is not.
    if (connection_.LastError().rfind("socket", 0) == 0)
      ShowMessage("OutSock 소켓생성 에러", "확인");
    return 0;
  }
  // The printer link learns the drawer object and the other way round.
  if (drawer) {
    connection_.drawer_link = this;
    if (TcpPrinterPort* printer = connection_.printer_link) {
      printer_ = printer->printer_.load();
      printer->drawer_ = drawer_.load();
    }
  } else {
    connection_.printer_link = this;
    if (TcpPrinterPort* other = connection_.drawer_link) {
      drawer_ = other->drawer_.load();
      other->printer_ = printer_.load();
    }
  }
  ++connection_.open_links;
  open_ = true;
  return 1;
}

void TcpPrinterPort::ClosePort() {
  if (!open_) return;
  // The monitor may be reconnecting; it ends at its next look at the stop flag.
  StopMonitor();
  std::lock_guard lock(connection_.mutex);
  open_ = false;
  --connection_.open_links;
  if (IsDrawerLink()) {
    if (connected_) connection_.drawer_claimed = false;
    connection_.drawer_link = nullptr;
    if (TcpPrinterPort* printer = connection_.printer_link) printer->drawer_ = nullptr;
  } else {
    if (connected_) connection_.printer_claimed = false;
    connection_.printer_link = nullptr;
    if (TcpPrinterPort* other = connection_.drawer_link) other->printer_ = nullptr;
  }
  if (connection_.open_links <= 0) {
    connection_.open_links = 0;
    connection_.Close();
  }
  printer_ = drawer_ = nullptr;
  connected_ = false;
}

bool TcpPrinterPort::SendBytes(const uint8_t* bytes, size_t length, uint64_t* stream_start) {
  return connection_.Send(bytes, length, stream_start);
}

long TcpPrinterPort::ReceiveBytes(uint8_t* buffer, size_t max, int timeout_ms) {
  return connection_.Receive(buffer, max, timeout_ms);
}

std::optional<CPrinterPort::SharedPrinter> TcpPrinterPort::SharingPrinter(bool take_brief_drawer_state) {
  std::lock_guard lock(connection_.mutex);
  TcpPrinterPort* printer = connection_.printer_link;
  if (!printer || printer == this) return std::nullopt;
  return ViewOf(*printer, take_brief_drawer_state);
}

void TcpPrinterPort::MarkClaimed() {
  std::lock_guard lock(connection_.mutex);
  (IsDrawerLink() ? connection_.drawer_claimed : connection_.printer_claimed) = true;
}

bool TcpPrinterPort::RestoreForDrawer() {
  // Under the sharing lock: a printer link opening meanwhile connects itself, and one
  // already open has a monitor that reconnects.
  std::lock_guard lock(connection_.mutex);
  if (connection_.printer_link) return connection_.Connected();
  connection_.Close();
  return connection_.Reconnect();
}

void TcpPrinterPort::OnLost() {
  connection_.Close();
  SetOffline(true);  // reported off or offline while it cannot be reached
  while (!MonitorSleep(kReconnectEveryMs)) {
    if (connection_.Reconnect()) {
      PrinterCameBack();
      return;
    }
  }
}

}  // namespace service_core
