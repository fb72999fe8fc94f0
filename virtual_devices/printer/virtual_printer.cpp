#include "virtual_devices/virtual_printer.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <utility>
#include <variant>

#include "command_framer.h"
#include "command_names.h"
#include "firmware_receiver.h"
#include "print_engine.h"
#include "status_bytes.h"

namespace vdev {

using printer::RawCommand;

namespace {

// In-memory copies of the capture and the log stop growing here; the files keep all.
constexpr size_t kMaxKeptBytes = 16u << 20;

PaperGeometry GeometryFor(const PrinterConfig& config) {
  PaperGeometry geometry;
  geometry.kind = config.kind;
  if (config.kind == PrinterKind::DotMatrix) {
    geometry.columns = 33;
    geometry.dots_per_line = 400;
  } else {
    geometry.columns = config.columns == 56 ? 56 : 42;
    geometry.dots_per_line = 512;
  }
  return geometry;
}

struct AnswerOut {
  std::vector<uint8_t> bytes;
};
struct LinesOut {
  ModemLines lines;
};
struct FinishOut {};
using Outgoing = std::variant<AnswerOut, PrintOp, LinesOut, FinishOut>;

}  // namespace

struct VirtualPrinter::Impl {
  explicit Impl(PrinterConfig c, PrintSink* s)
      : config(std::move(c)),
        geometry(GeometryFor(config)),
        sink(s),
        pin3_when_open(config.pin3_when_open),
        engine(geometry, config.cr_is_line_end,
               [this](PrintOp op) { outbox.emplace_back(std::move(op)); }) {
    engine.SetNvCapacity(config.nv_memory_bytes);
    if (!config.capture_path.empty())
      capture_file.open(config.capture_path, std::ios::binary | std::ios::trunc);
    if (!config.log_path.empty()) log_file.open(config.log_path, std::ios::trunc);
  }

  // Everything below runs with `mu` held.
  printer::SensedState Sensed() const {
    printer::SensedState s;
    s.cover_open = cover_open;
    s.paper_out = paper_out;
    s.switched_offline = switched_offline;
    s.pin3_high = Pin3High();
    return s;
  }
  bool Pin3High() const { return drawer_open == (pin3_when_open == Pin3Level::High); }
  bool Online() const { return power && Sensed().online(); }
  ModemLines LinesNow() const {
    ModemLines lines;
    lines.cts = power;
    lines.dsr = power;
    return lines;
  }

  void Log(const std::string& line) {
    if (log.size() < kMaxKeptBytes) log += line + "\n";
    if (log_file.is_open()) log_file << line << '\n' << std::flush;
  }

  void Answer(std::vector<uint8_t> bytes, const std::string& what) {
    if (!power) return;
    if (!answering) {
      Log("   (answers off: " + what + " not sent)");
      return;
    }
    Log("<- " + printer::HexBytes(bytes) + "  " + what);
    outbox.emplace_back(AnswerOut{std::move(bytes)});
  }

  void SendStatusBack(const std::string& why) {
    const auto block = printer::StatusBackBlock(Sensed(), config.link);
    Answer({block.begin(), block.end()}, "automatic status back (" + why + ")");
  }

  void Receive(std::span<const uint8_t> bytes) {
    if (capture.size() < kMaxKeptBytes) capture.insert(capture.end(), bytes.begin(), bytes.end());
    if (capture_file.is_open()) {
      capture_file.write(reinterpret_cast<const char*>(bytes.data()),
                         std::streamsize(bytes.size()));
      capture_file.flush();
    }
    if (!power) {
      lost_bytes += bytes.size();
      Log("# power off: " + std::to_string(bytes.size()) + " bytes lost");
      return;
    }
    std::vector<RawCommand> commands;
    for (uint8_t byte : bytes) {
      if (firmware.Active() && FirmwareByte(byte)) continue;
      framer.Push(byte, commands);
      for (RawCommand& command : commands) Dispatch(std::move(command));
      commands.clear();
    }
  }

  // Upload mode takes the bytes until it ends (firmware_receiver.h).
  bool FirmwareByte(uint8_t byte) {
    std::vector<uint8_t> answer;
    std::string note;
    const bool taken = firmware.Push(byte, answer, note);
    Note(note);
    if (!answer.empty()) Answer(std::move(answer), "firmware upload answer");
    return taken;
  }

  void Dispatch(RawCommand command) {
    const std::string line = printer::DescribeCommand(command);
    if (command.IsRealTime()) {
      Log(line);
      ExecuteRealTime(command);
      return;
    }
    if (!command.is_text && command.bytes.size() == 1 && command.bytes[0] == printer::kNul) {
      Log(line);  // the wake-up byte: nothing to do, nothing to keep
      return;
    }
    if (Online() && pending.empty()) {
      Log(line);
      Execute(command);
      return;
    }
    if (pending_bytes + command.bytes.size() > config.receive_buffer_bytes) {
      lost_bytes += command.bytes.size();
      Log(line + "  [receive buffer full: lost]");
      return;
    }
    Log(line + "  [held: offline]");
    pending_bytes += command.bytes.size();
    pending.push_back(std::move(command));
  }

  void DrainPending() {
    if (!pending.empty() && Online())
      Log("# online: printing " + std::to_string(pending.size()) + " held commands");
    while (!pending.empty() && Online()) {
      RawCommand command = std::move(pending.front());
      pending.pop_front();
      pending_bytes -= command.bytes.size();
      Execute(command);
    }
  }

  void Note(const std::string& note) {
    if (!note.empty()) Log("   ! " + note);
  }

  void Execute(const RawCommand& c) {
    const uint8_t first = c.At(0), code = c.At(1);
    if (c.is_text) {
      Note(engine.Execute(c));
    } else if (first == printer::kEsc && code == 'p') {
      KickDrawer(c);
    } else if (first == printer::kGs && code == 'a') {
      asb_mask = c.At(2);
      if (asb_mask != 0) SendStatusBack("enabled");
    } else if (first == printer::kGs && code == '(') {
      ExtendedFunction(c);
    } else if (first == printer::kGs && code == 'I') {
      PrinterId(c.At(2));
    } else if (first == printer::kGs && code == 'r') {
      TransmitStatus(c.At(2));
    } else if (first == printer::kEsc && code == 'v') {
      TransmitStatus(1);
    } else if (first == printer::kEsc && code == 'u') {
      Answer({uint8_t(Pin3High() ? 1 : 0)}, "peripheral status");
    } else {
      Note(engine.Execute(c));
    }
  }

  void KickDrawer(const RawCommand& c) {
    const uint8_t pin = c.At(2), on_time = c.At(3);
    if (pin != 0 && pin != 1 && pin != '0' && pin != '1') return Note("bad connector pin");
    if (on_time == 0) return Note("pulse of no length: drawer not kicked");
    SetDrawer(true, "drawer kicked open");
  }

  void ExtendedFunction(const RawCommand& c) {
    if (printer::IsFirmwareEnterCommand(c.bytes)) {
      return Answer(firmware.Enter(), "firmware upload mode: ready");
    }
    // GS ( H pL pH fn m d1 d2 d3 d4: process identifier, answered once printed.
    if (c.At(2) == 'H' && c.Word(3) == 6 && c.At(5) == 48 && c.At(6) == 48) {
      Answer({0x37, 0x22, c.At(7), c.At(8), c.At(9), c.At(10), 0x00}, "process ID answer");
      return;
    }
    Note("extended function not modelled, skipped");
  }

  void PrinterId(uint8_t n) {
    switch (n) {
      case 1:
      case 49:
        return Answer({0x20}, "printer model ID");
      case 2:
      case 50:
        return Answer({0x02}, "printer type ID (autocutter)");
      case 3:
      case 51:
        return Answer({0x10}, "firmware version ID");
      default:
        return Note("printer ID not modelled");
    }
  }

  void TransmitStatus(uint8_t n) {
    if (n == 1 || n == 49) {
      Answer({uint8_t(paper_out ? 0x0F : 0x00)}, "paper sensor status");
    } else if (n == 2 || n == 50) {
      Answer({uint8_t(Pin3High() ? 1 : 0)}, "drawer kick connector status");
    } else {
      Note("status kind not modelled");
    }
  }

  void ExecuteRealTime(const RawCommand& c) {
    switch (c.At(1)) {
      case printer::kEot: {
        const auto status = printer::RealTimeStatus(Sensed(), c.At(2));
        if (!status) return Note("no such status, no answer");
        return Answer({*status}, "real-time status " + std::to_string(c.At(2)));
      }
      case printer::kEnq:
        return Note("no error to recover from");
      default:  // DLE DC4
        if (c.At(2) == 1 && (c.At(3) == 0 || c.At(3) == 1) && c.At(4) >= 1 && c.At(4) <= 8)
          return SetDrawer(true, "drawer kicked open (real-time pulse)");
        if (c.At(2) == 8 && c.bytes == std::vector<uint8_t>{0x10, 0x14, 8, 1, 3, 20, 1, 6, 2, 8}) {
          pending.clear();
          pending_bytes = 0;
          engine.ClearPrintBuffer();
          return Answer({0x37, 0x25, 0x00}, "buffers cleared");
        }
        return Note("real-time function not modelled");
    }
  }

  // State changes. `change` alters the state; the block goes out when it concerns an
  // enabled category.
  template <typename Change>
  void ChangeState(const std::string& what, Change change) {
    const printer::SensedState before = Sensed();
    change();
    const printer::SensedState after = Sensed();
    Log("# " + what);
    if (!power || before == after) return;
    if (asb_mask != 0 && (printer::ChangedStatusCategories(before, after) & asb_mask))
      SendStatusBack(what);
    DrainPending();
  }

  void SetDrawer(bool open, const std::string& what) {
    ChangeState(what, [&] { drawer_open = open; });
  }

  void SetPower(bool on) {
    if (on == power) return;
    if (!on) {
      Log("# power off");
      power = false;
      lost_bytes += pending_bytes + framer.PendingBytes();
      pending.clear();
      pending_bytes = 0;
      framer.Reset();
      firmware.Reset();
    } else {
      Log("# power on");
      power = true;
      asb_mask = 0;
      engine.Reset();
    }
    outbox.emplace_back(LinesOut{LinesNow()});
  }

  PrinterConfig config;
  PaperGeometry geometry;
  PrintSink* sink;
  AnswerSink answer_sink;
  std::function<void(ModemLines)> lines_changed;

  bool power = true, cover_open = false, paper_out = false, switched_offline = false;
  bool drawer_open = false, answering = true;
  Pin3Level pin3_when_open;
  uint8_t asb_mask = 0;

  printer::CommandFramer framer;
  printer::FirmwareReceiver firmware;
  std::deque<RawCommand> pending;
  size_t pending_bytes = 0;
  uint64_t lost_bytes = 0;
  std::deque<Outgoing> outbox;
  printer::PrintEngine engine;

  std::vector<uint8_t> capture;
  std::ofstream capture_file;
  std::string log;
  std::ofstream log_file;

  mutable std::mutex mu;
  bool delivering = false;
  std::condition_variable delivered;  // signalled when a delivery round ends
};

VirtualPrinter::VirtualPrinter(PrinterConfig config, PrintSink* sink)
    : impl_(std::make_unique<Impl>(std::move(config), sink)) {}

VirtualPrinter::~VirtualPrinter() = default;

namespace {

// Hands queued answers, print operations and line changes to their receivers in order,
// outside the lock. Only one thread delivers at a time, so the order holds.
template <typename ImplT>
void Deliver(ImplT& impl) {
  std::unique_lock lock(impl.mu);
  if (impl.delivering) return;
  impl.delivering = true;
  while (!impl.outbox.empty()) {
    Outgoing item = std::move(impl.outbox.front());
    impl.outbox.pop_front();
    auto answer_sink = impl.answer_sink;
    auto lines_changed = impl.lines_changed;
    PrintSink* sink = impl.sink;
    lock.unlock();
    if (auto* answer = std::get_if<AnswerOut>(&item)) {
      if (answer_sink) answer_sink(answer->bytes);
    } else if (auto* op = std::get_if<PrintOp>(&item)) {
      if (sink) sink->Print(*op);
    } else if (auto* lines = std::get_if<LinesOut>(&item)) {
      if (lines_changed) lines_changed(lines->lines);
    } else if (sink) {
      sink->Finish();
    }
    lock.lock();
  }
  impl.delivering = false;
  impl.delivered.notify_all();
}

}  // namespace

void VirtualPrinter::Receive(std::span<const uint8_t> bytes) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->Receive(bytes);
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetAnswerSink(AnswerSink sink) {
  std::lock_guard lock(impl_->mu);
  impl_->answer_sink = std::move(sink);
}

ModemLines VirtualPrinter::Lines() const {
  std::lock_guard lock(impl_->mu);
  return impl_->LinesNow();
}

void VirtualPrinter::SetLinesChanged(std::function<void(ModemLines)> callback) {
  std::lock_guard lock(impl_->mu);
  impl_->lines_changed = std::move(callback);
}

void VirtualPrinter::SetCoverOpen(bool open) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->ChangeState(open ? "cover open" : "cover closed", [&] { impl_->cover_open = open; });
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetPaperOut(bool out) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->ChangeState(out ? "paper out" : "paper in", [&] { impl_->paper_out = out; });
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetOffline(bool offline) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->ChangeState(offline ? "switched offline" : "switched online",
                       [&] { impl_->switched_offline = offline; });
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetDrawerOpen(bool open) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->SetDrawer(open, open ? "drawer opened" : "drawer closed");
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetPin3OpenLevel(Pin3Level level) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->ChangeState(level == Pin3Level::High ? "pin 3 high when open" : "pin 3 low when open",
                       [&] { impl_->pin3_when_open = level; });
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetPower(bool on) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->SetPower(on);
  }
  Deliver(*impl_);
}

void VirtualPrinter::SetAnswering(bool answering) {
  std::lock_guard lock(impl_->mu);
  impl_->answering = answering;
  impl_->Log(answering ? "# answers on" : "# answers off");
}

void VirtualPrinter::SetPrintSink(PrintSink* sink) {
  std::unique_lock lock(impl_->mu);
  impl_->sink = sink;
  // Another thread may be handing an operation to the previous sink right now; once this
  // returns the caller may destroy that sink.
  impl_->delivered.wait(lock, [&] { return !impl_->delivering; });
}

PrinterStatus VirtualPrinter::Status() const {
  std::lock_guard lock(impl_->mu);
  const Impl& m = *impl_;
  PrinterStatus s;
  s.power = m.power;
  s.cover_open = m.cover_open;
  s.paper_out = m.paper_out;
  s.switched_offline = m.switched_offline;
  s.drawer_open = m.drawer_open;
  s.pin3_high = m.Pin3High();
  s.answering = m.answering;
  s.asb_enabled = m.asb_mask != 0;
  s.asb_mask = m.asb_mask;
  s.page_mode = m.engine.page_mode();
  s.buffered_bytes = m.pending_bytes;
  s.lost_bytes = m.lost_bytes;
  s.receipts = m.engine.receipts();
  s.lines = m.engine.lines();
  return s;
}

std::string VirtualPrinter::FirmwareSummary() const {
  std::lock_guard lock(impl_->mu);
  return impl_->firmware.Summary();
}

PrinterConfig VirtualPrinter::Config() const {
  std::lock_guard lock(impl_->mu);
  PrinterConfig config = impl_->config;
  config.pin3_when_open = impl_->pin3_when_open;
  return config;
}

PaperGeometry VirtualPrinter::Geometry() const { return impl_->geometry; }

std::vector<uint8_t> VirtualPrinter::Capture() const {
  std::lock_guard lock(impl_->mu);
  return impl_->capture;
}

std::string VirtualPrinter::DecodedLog() const {
  std::lock_guard lock(impl_->mu);
  return impl_->log;
}

void VirtualPrinter::Finish() {
  {
    std::lock_guard lock(impl_->mu);
    impl_->outbox.emplace_back(FinishOut{});
  }
  Deliver(*impl_);
}

}  // namespace vdev
