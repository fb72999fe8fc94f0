#include "serial_printer_port.h"

#include <algorithm>
#include <span>
#include <vector>

#include "open_port_table.h"
#include "port_name.h"
#include "status_block.h"

namespace service_core {
namespace {

constexpr size_t kChunkSize = 64;
constexpr int kChunkTimeoutMs = 1000;
constexpr uint8_t kEnableStatusBack[] = {0x1D, 0x61, 0xFF};
constexpr uint8_t kCombinedStatusQuery[] = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x04};
constexpr uint8_t kPrinterStatusQuery[] = {0x10, 0x04, 0x01};
constexpr uint8_t kOfflineStatusQuery[] = {0x10, 0x04, 0x02};
constexpr uint8_t kPaperStatusQuery[] = {0x10, 0x04, 0x04};
constexpr uint8_t kWakeUp[] = {0x00};

uint64_t Now() { return platform::TickCountMs(); }

}  // namespace

std::mutex& OpenPortTable::Mutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::shared_ptr<OpenPortEntry>>& OpenPortTable::Entries() {
  static std::vector<std::shared_ptr<OpenPortEntry>> entries;
  return entries;
}

SerialPrinterPort::SerialPrinterPort() = default;

SerialPrinterPort::~SerialPrinterPort() { ClosePort(); }

std::string SerialPrinterPort::LastError() const {
  std::lock_guard lock(OpenPortTable::Mutex());
  return entry_ ? entry_->device.LastError() : std::string();
}

int SerialPrinterPort::OpenPort(const PortSettings& settings) {
  if (open_) return 1;
  const ResolvedPort port = ResolvePortName(settings.port);
  const std::string identity = DeviceIdentity(port.path);
  if (identity.empty()) return 0;

  std::lock_guard lock(OpenPortTable::Mutex());
  auto& entries = OpenPortTable::Entries();
  auto found = std::find_if(entries.begin(), entries.end(),
                            [&](const auto& e) { return e->identity == identity; });
  if (found != entries.end()) {
    OpenPortEntry& entry = **found;
    if ((entry.printer_claimed && !IsDrawerLink()) || (entry.drawer_claimed && IsDrawerLink())) {
      return 0;
    }
    // The printer link learns the drawer object and the other way round.
    SerialPrinterPort* owner = entry.owner;
    if (IsDrawerLink() && !owner->IsDrawerLink()) {
      printer_ = entry.registered_user;
      owner->drawer_ = drawer_.load();
    } else if (!IsDrawerLink() && owner->IsDrawerLink()) {
      drawer_ = entry.registered_user;
      owner->printer_ = printer_.load();
    }
    ++entry.users;
    entry.links.push_back(this);
    entry_ = *found;
    owner_ = false;
  } else {
    if (entries.size() >= kMaxOpenPorts) return 0;
    auto entry = std::make_shared<OpenPortEntry>();
    if (!entry->device.Open(port.path, {settings.baud_code, settings.parity_code, settings.stop_code})) return 0;
    entry->identity = identity;
    entry->port_number = port.number;
    entry->users = 1;
    entry->owner = this;
    entry->registered_user = IsDrawerLink() ? drawer_.load() : printer_.load();
    entry->links.push_back(this);
    entries.push_back(entry);
    entry_ = entry;
    owner_ = true;
  }
  baud_code_ = settings.baud_code;
  open_ = true;
  return 1;
}

uint64_t SerialPrinterPort::TransferMs(size_t bytes) const {
  // Ten bits a byte: start, eight data bits, stop.
  static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  const int rate = baud_code_ >= 3 && baud_code_ <= 10 ? kRates[baud_code_ - 3] : 9600;
  return bytes * 10000 / rate;
}

size_t SerialPrinterPort::Query(const uint8_t* bytes, size_t length, uint32_t wait_ms) {
  if (!WritePort(bytes, length)) return 0;
  platform::SleepMs(wait_ms);
  last_read_count_ = ReadPort(read_buffer_, sizeof read_buffer_);
  return last_read_count_;
}

int SerialPrinterPort::ConnectPrinter(int timeout_ms) {
  SetCondition(false, false, false);
  connected_ = recent_error_ = false;
  claim_timeout_ms_ = timeout_ms;

  int result = ProbeOrAskSharingPrinter();
  bool repeated = false;
  uint64_t first_repeat = 0;
  while (result != kPortReady) {
    if (!repeated) {
      repeated = true;
      first_repeat = Now();
    } else if (Now() - first_repeat > static_cast<uint64_t>(timeout_ms)) {
      return result;
    }
    result = ProbeOrAskSharingPrinter();
  }
  if (repeated) platform::SleepMs(500);

  connected_ = true;
  {
    std::lock_guard lock(OpenPortTable::Mutex());
    if (IsDrawerLink()) {
      entry_->drawer_claimed = true;
      return kPortReady;
    }
    entry_->printer_claimed = true;
  }
  if (IsThermal()) {
    Query(kEnableStatusBack, sizeof kEnableStatusBack, 100);
    const size_t n = last_read_count_;
    if (n >= 4 && read_buffer_[n - 3] == 0 && read_buffer_[n - 2] == 0 &&
        read_buffer_[n - 1] == 0) {
      if (read_buffer_[n - 4] == 0x14) drawer_state_ = 0;
      if (read_buffer_[n - 4] == 0x10) drawer_state_ = 1;
    }
  }
  monitor_stop_ = false;
  SetOffline(false);
  brief_drawer_state_ = -1;
  monitor_wake_.Reset();
  monitor_ = std::thread([this] { MonitorLoop(); });
  return kPortReady;
}

int SerialPrinterPort::ProbeOrAskSharingPrinter() {
  // The printer's monitor reads every answer that arrives on the shared handle, so a
  // drawer's own probe would go unanswered: the printer's view of itself stands for it.
  if (IsDrawerLink()) {
    if (const auto printer = SharingPrinter(); printer && printer->connected) {
      // As long as a probe takes, so a caller that asks again does not spin.
      if (printer->condition != kPortReady) platform::SleepMs(100);
      return printer->condition;
    }
  }
  return ProbePrinterStatus();
}

int SerialPrinterPort::ProbePrinterStatus() {
  if (!open_) return kPortNoAnswer;
  return IsThermal() ? ProbeThermal() : ProbeDotMatrix();
}

int SerialPrinterPort::ProbeThermal() {
  const uint64_t start = Now();
  while (Query(kCombinedStatusQuery, sizeof kCombinedStatusQuery, 100) <= 2) {
    if (Now() - start > 1000) return kPortNoAnswer;
  }
  const size_t n = last_read_count_;
  const uint8_t printer = read_buffer_[n - 3];
  const uint8_t offline = read_buffer_[n - 2];
  const uint8_t paper = read_buffer_[n - 1];
  if (printer == 0x16) drawer_state_ = 0;
  if (printer == 0x12) drawer_state_ = 1;
  const bool cover_open = (offline & 0x04) != 0;
  const bool paper_empty = !cover_open && (paper & 0x60) != 0;
  SetCoverOpen(cover_open);
  SetPaperEmpty(paper_empty);
  if (cover_open) return kPortCoverOpen;
  if (paper_empty) return kPortPaperEmpty;
  return kPortReady;
}

int SerialPrinterPort::ProbeDotMatrix() {
  // Without automatic status back the drawer's level is not known here: assume closed
  // when a drawer object shares the link, open otherwise.
  const int assumed_drawer = drawer_ ? 0 : 1;
  if (WritePort(kWakeUp, sizeof kWakeUp))
    Query(kOfflineStatusQuery, sizeof kOfflineStatusQuery, 200);
  drawer_state_ = assumed_drawer;

  const uint64_t start = Now();
  for (;;) {
    if (Now() - start > 1000) return kPortNoAnswer;
    if (Query(kOfflineStatusQuery, sizeof kOfflineStatusQuery, 200) > 0 &&
        (read_buffer_[last_read_count_ - 1] & 0x04)) {
      SetCoverOpen(true);
      return kPortCoverOpen;
    }
    if (Query(kPaperStatusQuery, sizeof kPaperStatusQuery, 200) > 0) break;
    platform::SleepMs(180);
  }
  const bool paper_empty = (read_buffer_[last_read_count_ - 1] & 0x60) != 0;
  SetCoverOpen(false);
  SetPaperEmpty(paper_empty);
  drawer_state_ = assumed_drawer;
  return paper_empty ? kPortPaperEmpty : kPortReady;
}

int SerialPrinterPort::GetPrinterStatus() {
  return IsDrawerLink() ? DrawerLinkStatus() : StatusFromFlags();
}

int SerialPrinterPort::DrawerLinkStatus() {
  std::lock_guard query(query_mutex_);
  const uint64_t start = Now();
  std::optional<uint8_t> answer;
  for (;;) {
    const size_t n = Query(kPrinterStatusQuery, sizeof kPrinterStatusQuery, 10);
    answer = LastPrinterStatusAnswer({read_buffer_, n});
    if (answer) break;
    // A device that went away cannot answer: open it again, or give up at once.
    const bool gone = !ReopenGoneDeviceForDrawer();
    if (gone || Now() - start > 500) {
      SetOffline(false);
      recent_error_ = true;
      return kPortNoAnswer;
    }
  }
  return StatusFromDrawerAnswer(*answer);
}

bool SerialPrinterPort::ReopenGoneDeviceForDrawer() {
  std::shared_ptr<OpenPortEntry> entry;
  {
    std::lock_guard lock(OpenPortTable::Mutex());
    // A printer link on the same device has a monitor that opens it again.
    for (SerialPrinterPort* link : entry_ ? entry_->links : std::vector<SerialPrinterPort*>{}) {
      if (!link->IsDrawerLink()) return true;
    }
    entry = entry_;
  }
  if (!entry || !entry->device.Gone()) return true;
  bool reopened = false;
  {
    std::lock_guard write_lock(entry->write_mutex);
    reopened = entry->device.Reopen();
  }
  if (!reopened) return false;
  // The path now names another device: a printer opening it later must find this entry.
  const std::string identity = DeviceIdentity(entry->device.Path());
  std::lock_guard lock(OpenPortTable::Mutex());
  if (!identity.empty()) entry->identity = identity;
  return true;
}

std::optional<CPrinterPort::SharedPrinter> SerialPrinterPort::SharingPrinter(
    bool take_brief_drawer_state) {
  std::lock_guard lock(OpenPortTable::Mutex());
  if (!entry_) return std::nullopt;
  for (SerialPrinterPort* link : entry_->links) {
    if (link == this || link->IsDrawerLink()) continue;
    SharedPrinter view;
    view.connected = link->connected_;
    view.thermal = link->IsThermal();
    if (PortUser* printer = link->printer_) {
      view.output_pending = printer->OutputPending();
      view.last_output_ms = printer->LastOutputMs();
    }
    view.recent_error = link->recent_error_;
    view.condition = link->ConditionStatus();
    view.drawer_state = link->drawer_state_;
    if (take_brief_drawer_state) view.brief_drawer_state = link->brief_drawer_state_.exchange(-1);
    return view;
  }
  return std::nullopt;
}

int SerialPrinterPort::WritePort(const uint8_t* bytes, size_t length) {
  if (!open_ || length == 0 || bytes == nullptr) return 0;
  std::shared_ptr<OpenPortEntry> entry;
  {
    std::lock_guard lock(OpenPortTable::Mutex());
    entry = entry_;
  }
  if (!entry) return 0;
  std::lock_guard write_lock(entry->write_mutex);
  for (size_t done = 0; done < length; done += kChunkSize) {
    const size_t chunk = std::min(kChunkSize, length - done);
    if (!entry->device.Write(bytes + done, chunk, kChunkTimeoutMs)) return 0;
  }
  return 1;
}

size_t SerialPrinterPort::ReadPort(uint8_t* buffer, size_t max) {
  if (!open_) return 0;
  std::shared_ptr<OpenPortEntry> entry;
  {
    std::lock_guard lock(OpenPortTable::Mutex());
    entry = entry_;
  }
  if (!entry) return 0;
  const size_t waiting = entry->device.BytesWaiting();
  if (waiting == 0) return 0;
  return entry->device.Read(buffer, std::min(max, waiting));
}

void SerialPrinterPort::MonitorLoop() {
  MonitorReads reads;
  uint8_t fresh_bytes[256];
  while (!monitor_stop_) {
    platform::WaitForAny({&monitor_wake_, &poll_now_}, fast_poll_ ? 50 : 500);
    if (monitor_stop_) break;
    if (Offline()) {
      WritePort(kEnableStatusBack, sizeof kEnableStatusBack);
      platform::SleepMs(100);
    }
    const size_t n = ReadPort(fresh_bytes, sizeof fresh_bytes);
    reads.Feed(std::span<const uint8_t>(fresh_bytes, n), IsThermal());

    std::shared_ptr<OpenPortEntry> entry;
    {
      std::lock_guard lock(OpenPortTable::Mutex());
      entry = entry_;
    }
    // A device that went away (unplugged, the virtual printer stopped) is a printer without
    // power until the same path can be opened again.
    bool device_gone = false;
    if (entry && entry->device.Gone()) {
      std::lock_guard write_lock(entry->write_mutex);
      device_gone = !entry->device.Reopen();
      reads.Reset();  // what was read came from the device before it went
      SetOffline(true);  // until the printer's status blocks say otherwise
      if (PortUser* printer = printer_) printer->OnPrinterPowerLost();
      power_lost_ = true;
    }
    if (entry && (device_gone || !entry->device.Modem().cts)) {
      if (PortUser* printer = printer_) printer->OnPrinterPowerLost();
      power_lost_ = true;
      SetOffline(true);
      if (device_gone) continue;
    }

    ApplyMonitorRound(reads, BlockLayout::kSerial);
  }
}

void SerialPrinterPort::StopMonitor() {
  if (!monitor_.joinable()) return;
  monitor_stop_ = true;
  monitor_wake_.Set();
  monitor_.join();
}

void SerialPrinterPort::ClosePort() {
  if (!open_) return;
  if (!IsDrawerLink()) StopMonitor();

  std::lock_guard lock(OpenPortTable::Mutex());
  OpenPortEntry& entry = *entry_;
  --entry.users;
  if (IsDrawerLink()) {
    if (connected_) entry.drawer_claimed = false;
  } else {
    if (connected_) entry.printer_claimed = false;
  }
  // Remaining links forget the service object that goes away with this link.
  for (SerialPrinterPort* other : entry.links) {
    if (other == this) continue;
    if (IsDrawerLink() && other->drawer_ == drawer_.load()) other->drawer_ = nullptr;
    if (!IsDrawerLink() && other->printer_ == printer_.load()) other->printer_ = nullptr;
  }
  std::erase(entry.links, this);
  if (owner_ && !entry.links.empty()) {
    SerialPrinterPort* next = entry.links.front();
    next->owner_ = true;
    entry.owner = next;
    entry.registered_user = next->IsDrawerLink() ? next->drawer_.load() : next->printer_.load();
  }
  if (entry.users <= 0) {
    entry.device.Close();
    std::erase(OpenPortTable::Entries(), entry_);
  }
  entry_.reset();
  printer_ = drawer_ = nullptr;
  owner_ = false;
  open_ = connected_ = false;
}

}  // namespace service_core
