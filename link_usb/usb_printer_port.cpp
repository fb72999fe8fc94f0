#include "usb_printer_port.h"

namespace service_core {
namespace {
// Reads wait about as long as the serial link's; the device cannot say what is waiting.
constexpr StreamPrinterPort::Traits kUsbTraits{
    .probe_budget_ms = 500, .read_timeout_ms = 100, .message_boxes = false};
}  // namespace

UsbPrinterPort::UsbPrinterPort()
    : StreamPrinterPort(kUsbTraits), device_(UsbPrinterDevice::Process()) {}

UsbPrinterPort::~UsbPrinterPort() { ClosePort(); }

std::string UsbPrinterPort::LastError() const { return device_.LastError(); }

int UsbPrinterPort::OpenPort(const PortSettings& settings) {
  if (open_) return 1;
  std::lock_guard lock(device_.mutex);
  const bool drawer = IsDrawerLink();
  if ((drawer && (device_.drawer_claimed || device_.drawer_link)) ||
      (!drawer && (device_.printer_claimed || device_.printer_link))) {
    return 0;
  }
  // A port naming a path picks the printer by its node; any other port name is kept but not
  // used. The first link of the process decides which printer the process uses.
  UsbPrinterChoice choice{settings.usb_serial, {}};
  if (settings.port.rfind('/', 0) == 0) choice.path = settings.port;
  if (device_.open_links == 0) {
    device_.Choose(choice);
  } else if (!device_.Serves(choice)) {
    return 0;
  }
  if (!device_.Open()) return 0;
  // The printer link learns the drawer object and the other way round.
  if (drawer) {
    device_.drawer_link = this;
    if (UsbPrinterPort* printer = device_.printer_link) {
      printer_ = printer->printer_.load();
      printer->drawer_ = drawer_.load();
    }
  } else {
    device_.printer_link = this;
    if (UsbPrinterPort* other = device_.drawer_link) {
      drawer_ = other->drawer_.load();
      other->printer_ = printer_.load();
    }
  }
  ++device_.open_links;
  open_ = true;
  return 1;
}

void UsbPrinterPort::ClosePort() {
  if (!open_) return;
  StopMonitor();
  bool last = false;
  {
    std::lock_guard lock(device_.mutex);
    open_ = false;
    --device_.open_links;
    if (IsDrawerLink()) {
      if (connected_) device_.drawer_claimed = false;
      device_.drawer_link = nullptr;
      if (UsbPrinterPort* printer = device_.printer_link) printer->drawer_ = nullptr;
    } else {
      if (connected_) device_.printer_claimed = false;
      device_.printer_link = nullptr;
      if (UsbPrinterPort* other = device_.drawer_link) other->printer_ = nullptr;
    }
    if (device_.open_links <= 0) {
      device_.open_links = 0;
      last = true;
    }
  }
  // Outside the lock: the reconnect thread takes it when it finds the device.
  if (last) device_.Shutdown();
  printer_ = drawer_ = nullptr;
  connected_ = false;
}

bool UsbPrinterPort::SendBytes(const uint8_t* bytes, size_t length, uint64_t* stream_start) {
  return device_.Write(bytes, length, stream_start);
}

long UsbPrinterPort::ReceiveBytes(uint8_t* buffer, size_t max, int timeout_ms) {
  return device_.Read(buffer, max, timeout_ms);
}

std::optional<CPrinterPort::SharedPrinter> UsbPrinterPort::SharingPrinter(bool take_brief_drawer_state) {
  std::lock_guard lock(device_.mutex);
  UsbPrinterPort* printer = device_.printer_link;
  if (!printer || printer == this) return std::nullopt;
  return ViewOf(*printer, take_brief_drawer_state);
}

void UsbPrinterPort::MarkClaimed() {
  std::lock_guard lock(device_.mutex);
  (IsDrawerLink() ? device_.drawer_claimed : device_.printer_claimed) = true;
}

}  // namespace service_core
