#include "virtual_devices/virtual_display.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "display_parser.h"
#include "display_screen.h"
#include "virtual_devices/atomic_file.h"

namespace vdev {
namespace {

constexpr size_t kCaptureLimit = 1 << 20;
constexpr size_t kLogLimit = 10000;

bool ParseOnOff(const std::string& word, bool& on) {
  if (word == "on") return on = true, true;
  if (word == "off") return on = false, true;
  return false;
}

}  // namespace

VirtualDisplay::VirtualDisplay()
    : screen_(std::make_unique<DisplayScreen>()),
      parser_(std::make_unique<DisplayParser>(*screen_)),
      last_text_(screen_->RenderText()) {}

VirtualDisplay::~VirtualDisplay() = default;

void VirtualDisplay::Receive(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    if (!Apply(bytes)) return;
  }
  NotifyScreen();
}

bool VirtualDisplay::Apply(std::span<const uint8_t> bytes) {
  capture_.insert(capture_.end(), bytes.begin(), bytes.end());
  if (capture_.size() > kCaptureLimit) {
    capture_.erase(capture_.begin(),
                   capture_.begin() + static_cast<std::ptrdiff_t>(capture_.size() - kCaptureLimit));
  }
  if (capture_file_) {
    std::fwrite(bytes.data(), 1, bytes.size(), capture_file_.get());
    std::fflush(capture_file_.get());
  }
  if (!powered_) {
    AppendLog(FormatLogLine(bytes, "power off: " + std::to_string(bytes.size()) + " byte(s) lost"));
    return false;
  }
  parser_->Feed(bytes, [this](const std::string& line) { AppendLog(line); });
  return UpdateScreenText();
}

void VirtualDisplay::SetScreenChanged(std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  screen_changed_ = std::move(callback);
}

void VirtualDisplay::NotifyScreen() {
  std::function<void()> callback;
  {
    std::lock_guard lock(mutex_);
    callback = screen_changed_;
  }
  if (callback) callback();
}

void VirtualDisplay::SetAnswerSink(AnswerSink) {}

ModemLines VirtualDisplay::Lines() const {
  std::lock_guard lock(mutex_);
  ModemLines lines;
  lines.cts = powered_;
  lines.dsr = powered_ && dsr_enabled_;
  lines.dcd = powered_;
  lines.ri = false;
  return lines;
}

void VirtualDisplay::SetLinesChanged(std::function<void(ModemLines)> callback) {
  std::lock_guard lock(mutex_);
  lines_changed_ = std::move(callback);
}

void VirtualDisplay::NotifyLines(ModemLines before) {
  const ModemLines after = Lines();
  std::function<void(ModemLines)> callback;
  {
    std::lock_guard lock(mutex_);
    callback = lines_changed_;
  }
  if (callback && after != before) callback(after);
}

bool VirtualDisplay::Command(const std::string& line, std::string& reply) {
  std::istringstream in(line);
  std::string verb, arg, extra;
  in >> verb >> arg >> extra;
  reply.clear();
  bool on = false;
  if ((verb == "dsr" || verb == "power") && ParseOnOff(arg, on) && extra.empty()) {
    const ModemLines before = Lines();
    {
      std::lock_guard lock(mutex_);
      if (verb == "dsr") {
        dsr_enabled_ = on;
      } else if (on != powered_) {
        powered_ = on;
        screen_->Initialise();
        parser_->Reset();
        AppendLog(on ? "power on" : "power off");
        UpdateScreenText();
      }
    }
    NotifyLines(before);
    if (verb == "power") NotifyScreen();
    return true;
  }
  if (verb == "show" && arg.empty()) {
    reply = RenderText();
    return true;
  }
  if (verb == "help" && arg.empty()) {
    reply = "display commands: dsr on|off, power on|off, show";
    return true;
  }
  reply = "unknown display command: " + line;
  return false;
}

bool VirtualDisplay::SetCaptureFile(const std::string& path, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> file;
  if (!path.empty()) {
    file.reset(std::fopen(path.c_str(), "wb"));
    if (!file) return error = path + ": " + std::strerror(errno), false;
  }
  std::lock_guard lock(mutex_);
  capture_file_ = std::move(file);
  return true;
}

bool VirtualDisplay::SetLogFile(const std::string& path, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> file;
  if (!path.empty()) {
    file.reset(std::fopen(path.c_str(), "w"));
    if (!file) return error = path + ": " + std::strerror(errno), false;
  }
  std::lock_guard lock(mutex_);
  log_file_ = std::move(file);
  return true;
}

bool VirtualDisplay::SetTextFile(const std::string& path, std::string& error) {
  std::lock_guard lock(mutex_);
  if (!path.empty() && !WriteFileAtomically(path, last_text_, error)) return false;
  text_path_ = path;
  return true;
}

bool VirtualDisplay::UpdateScreenText() {
  const std::string text = powered_ ? screen_->RenderText() : "(power off)\n";
  if (text == last_text_) return false;
  last_text_ = text;
  std::string error;
  if (!text_path_.empty() && !WriteFileAtomically(text_path_, text, error)) {
    AppendLog("cannot write the screen text: " + error);
  }
  return true;
}

void VirtualDisplay::AppendLog(const std::string& line) {
  log_.push_back(line);
  if (log_.size() > kLogLimit) log_.erase(log_.begin(), log_.begin() + kLogLimit / 10);
  if (log_file_) {
    std::fprintf(log_file_.get(), "%s\n", line.c_str());
    std::fflush(log_file_.get());
  }
}

std::array<std::string, VirtualDisplay::kRows> VirtualDisplay::Screen() const {
  std::lock_guard lock(mutex_);
  return screen_->Rows();
}

std::string VirtualDisplay::RenderText() const {
  std::lock_guard lock(mutex_);
  return powered_ ? screen_->RenderText() : "(power off)\n";
}

int VirtualDisplay::CursorRow() const {
  std::lock_guard lock(mutex_);
  return screen_->CursorRow();
}

int VirtualDisplay::CursorColumn() const {
  std::lock_guard lock(mutex_);
  return screen_->CursorColumn();
}

uint8_t VirtualDisplay::BlinkInterval() const {
  std::lock_guard lock(mutex_);
  return screen_->BlinkInterval();
}

bool VirtualDisplay::UserCharactersSelected() const {
  std::lock_guard lock(mutex_);
  return screen_->UserCharacters();
}

std::optional<std::array<uint8_t, 5>> VirtualDisplay::Glyph(uint8_t code) const {
  std::lock_guard lock(mutex_);
  const auto& glyphs = screen_->Glyphs();
  const auto it = glyphs.find(code);
  if (it == glyphs.end()) return std::nullopt;
  return it->second;
}

bool VirtualDisplay::Selected() const {
  std::lock_guard lock(mutex_);
  return parser_->DisplaySelected();
}

bool VirtualDisplay::PoweredOn() const {
  std::lock_guard lock(mutex_);
  return powered_;
}

std::vector<uint8_t> VirtualDisplay::Capture() const {
  std::lock_guard lock(mutex_);
  return capture_;
}

std::vector<std::string> VirtualDisplay::DecodedLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

}  // namespace vdev
