#include "usb_printer_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "usb_printer_finder.h"
#include "usb_printer_port.h"

namespace service_core {
namespace {
constexpr size_t kChunkSize = 64;
constexpr uint64_t kChunkLimitMs = 500;
constexpr uint32_t kPartialWritePauseMs = 10;
constexpr uint32_t kReconnectEveryMs = 500;
}  // namespace

UsbPrinterDevice& UsbPrinterDevice::Process() {
  static UsbPrinterDevice device;
  return device;
}

void UsbPrinterDevice::Fail(const std::string& what) {
  std::lock_guard lock(error_mutex_);
  last_error_ = what + ": " + std::strerror(errno);
}

std::string UsbPrinterDevice::LastError() const {
  std::lock_guard lock(error_mutex_);
  return last_error_;
}

bool UsbPrinterDevice::OpenNode() {
  if (fd_ >= 0) {
    if (ChoiceMatches(wanted_, open_printer_)) return true;
    // Still open for a link that has closed and that named another printer.
    CloseNode();
  }
  // The first matching printer that opens is the one.
  bool chosen_present = false;
  for (const UsbPrinterNode& printer : FindUsbPrinters()) {
    if (!ChoiceMatches(wanted_, printer)) continue;
    chosen_present = true;
    const std::string& node = printer.node;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      Fail("open " + node);
      continue;
    }
    // No other process may use the printer while this one holds it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      Fail("lock " + node);
      ::close(fd);
      continue;
    }
    open_printer_ = printer;
    fd_ = fd;
    return true;
  }
  if (!chosen_present && !wanted_.Any()) {
    errno = ENODEV;
    Fail("no USB printer" + (wanted_.serial.empty() ? "" : " with serial number " + wanted_.serial) +
         (wanted_.path.empty() ? "" : " at " + wanted_.path));
  }
  return false;
}

void UsbPrinterDevice::Choose(const UsbPrinterChoice& choice) {
  std::lock_guard lock(io_mutex_);
  wanted_ = choice;
}

bool UsbPrinterDevice::Serves(const UsbPrinterChoice& choice) {
  std::lock_guard lock(io_mutex_);
  return choice.Any() || choice == wanted_ || (fd_ >= 0 && ChoiceMatches(choice, open_printer_));
}

void UsbPrinterDevice::CloseNode() {
  const int fd = fd_.exchange(-1);
  if (fd >= 0) {
    reached_at_loss_ = sent_.load();
    ++losses_;
    ::close(fd);
  }
}

bool UsbPrinterDevice::Open() {
  std::lock_guard lock(io_mutex_);
  return OpenNode();
}

bool UsbPrinterDevice::Write(const uint8_t* bytes, size_t length, uint64_t* stream_start) {
  std::unique_lock lock(io_mutex_);
  if (stream_start) *stream_start = sent_;
  if (WriteChunks(bytes, length)) return true;
  // Looking for the device takes the reconnect lock, which is never taken inside io_mutex_.
  lock.unlock();
  Lost();
  return false;
}

bool UsbPrinterDevice::WriteChunks(const uint8_t* bytes, size_t length) {
  for (size_t done = 0; done < length;) {
    const size_t chunk_end = std::min(length, done + kChunkSize);
    const uint64_t chunk_start = platform::TickCountMs();
    while (done < chunk_end) {
      const int fd = fd_;
      if (fd < 0) return false;
      const uint64_t spent = platform::TickCountMs() - chunk_start;
      if (spent > kChunkLimitMs) {
        errno = ETIMEDOUT;
        Fail("write");
        CloseNode();
        return false;
      }
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(kChunkLimitMs - spent)) <= 0) continue;
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        errno = EIO;
        Fail("write");
        CloseNode();
        return false;
      }
      const ssize_t n = ::write(fd, bytes + done, chunk_end - done);
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        Fail("write");
        CloseNode();
        return false;
      }
      if (n > 0) {
        done += static_cast<size_t>(n);
        sent_ += static_cast<uint64_t>(n);
      }
      if (done < chunk_end) platform::SleepMs(kPartialWritePauseMs);
    }
  }
  return true;
}

long UsbPrinterDevice::Read(uint8_t* buffer, size_t max, int timeout_ms) {
  std::unique_lock lock(io_mutex_);
  const int fd = fd_;
  if (fd < 0) {
    lock.unlock();
    Lost();
    return -1;
  }
  if (max == 0) return 0;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return 0;
  if (p.revents & POLLIN) {
    const ssize_t n = ::read(fd, buffer, max);
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    Fail("read");
  } else {
    errno = EIO;  // hung up: unplugged
    Fail("read");
  }
  CloseNode();
  lock.unlock();
  Lost();
  return -1;
}

void UsbPrinterDevice::Lost() {
  std::lock_guard lock(reconnect_mutex_);
  {
    std::lock_guard looking(looking_mutex_);
    if (looking_ || Present()) return;
    looking_ = true;
  }
  // A search that ended is joined before the next one starts.
  if (reconnect_.joinable()) reconnect_.join();
  reconnect_stop_ = false;
  reconnect_wake_.Reset();
  reconnect_ = std::thread([this] { ReconnectLoop(); });
}

bool UsbPrinterDevice::DoneLooking() {
  std::lock_guard looking(looking_mutex_);
  if (!reconnect_stop_ && !Present()) return false;
  looking_ = false;
  return true;
}

void UsbPrinterDevice::ReconnectLoop() {
  while (!DoneLooking()) {
    platform::WaitForOne(reconnect_wake_, kReconnectEveryMs);
    if (reconnect_stop_) continue;
    if (!Open()) continue;
    std::lock_guard lock(mutex);
    if (printer_link) printer_link->DeviceReturned();
  }
}

void UsbPrinterDevice::Shutdown() {
  {
    std::lock_guard lock(reconnect_mutex_);
    reconnect_stop_ = true;
    reconnect_wake_.Set();
    if (reconnect_.joinable()) reconnect_.join();
  }
  std::lock_guard lock(io_mutex_);
  CloseNode();
}

}  // namespace service_core
