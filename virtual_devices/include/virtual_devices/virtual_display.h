// A 2 x 20 character customer display: decodes the display's command set, keeps its screen,
// drives its DSR line, and records every byte it received with a decoded log.
#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "virtual_devices/device_model.h"

namespace vdev {

class DisplayScreen;
class DisplayParser;

class VirtualDisplay : public DeviceModel {
 public:
  static constexpr int kRows = 2;
  static constexpr int kColumns = 20;

  VirtualDisplay();
  ~VirtualDisplay() override;
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  void Receive(std::span<const uint8_t> bytes) override;
  void SetAnswerSink(AnswerSink sink) override;  // the display never answers
  ModemLines Lines() const override;
  void SetLinesChanged(std::function<void(ModemLines)> callback) override;
  // "dsr on|off", "power on|off", "show" (the screen as text in `reply`), "help".
  bool Command(const std::string& line, std::string& reply) override;

  // Output files, opened (truncated) now and written as bytes arrive: the raw capture, the
  // decoded log (one command a line) and the screen as text (rewritten on every change).
  // False with a message when a file cannot be opened; an empty path turns the output off.
  bool SetCaptureFile(const std::string& path, std::string& error);
  bool SetLogFile(const std::string& path, std::string& error);
  bool SetTextFile(const std::string& path, std::string& error);
  // Called (outside the display's lock) after the screen or its status line changed.
  void SetScreenChanged(std::function<void()> callback);

  std::array<std::string, kRows> Screen() const;  // raw character codes, 20 per row
  std::string RenderText() const;                 // the screen in a frame, with a status line
  int CursorRow() const;
  int CursorColumn() const;
  uint8_t BlinkInterval() const;  // US E n: 0 steady
  bool UserCharactersSelected() const;
  std::optional<std::array<uint8_t, 5>> Glyph(uint8_t code) const;
  bool Selected() const;  // ESC = n: whether data currently goes to the display
  bool PoweredOn() const;

  // Everything received since construction (the most recent 1 MiB when more arrived).
  std::vector<uint8_t> Capture() const;
  std::vector<std::string> DecodedLog() const;  // the most recent 10000 lines

 private:
  bool Apply(std::span<const uint8_t> bytes);  // under the lock; true when the screen changed
  void AppendLog(const std::string& line);
  bool UpdateScreenText();  // true when the rendered screen changed
  void NotifyScreen();
  void NotifyLines(ModemLines before);

  mutable std::mutex mutex_;
  std::unique_ptr<DisplayScreen> screen_;
  std::unique_ptr<DisplayParser> parser_;
  bool powered_ = true;
  bool dsr_enabled_ = true;
  std::function<void(ModemLines)> lines_changed_;
  std::vector<uint8_t> capture_;
  std::vector<std::string> log_;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> capture_file_, log_file_;
  std::function<void()> screen_changed_;
  std::string text_path_;
  std::string last_text_;  // the screen as last rendered
};

}  // namespace vdev
