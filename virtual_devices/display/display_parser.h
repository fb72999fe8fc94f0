// Decodes the byte stream a host sends to the customer display and applies each command to a
// DisplayScreen. Commands may arrive split over several calls; an incomplete one waits for the
// rest. Bytes that are not understood are logged and skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "display_screen.h"

namespace vdev {

class DisplayParser {
 public:
  // One decoded command: its bytes in hexadecimal, two spaces, what it did.
  using LogSink = std::function<void(const std::string& line)>;

  explicit DisplayParser(DisplayScreen& screen) : screen_(screen) {}

  void Feed(std::span<const uint8_t> bytes, const LogSink& log);
  // Forgets a partly received command and selects the display again (power cycle).
  void Reset();

  bool DisplaySelected() const { return selected_; }
  size_t PendingBytes() const { return pending_.size(); }

 private:
  // Decodes one command at the front of `data`; 0 when it is not complete yet.
  size_t DecodeOne(std::span<const uint8_t> data, const LogSink& log);
  size_t DecodeEscape(std::span<const uint8_t> data, const LogSink& log);
  size_t DecodeUnitSeparator(std::span<const uint8_t> data, const LogSink& log);
  size_t DecodeGlyphDefinition(std::span<const uint8_t> data, const LogSink& log);
  size_t SkipForOtherDevice(std::span<const uint8_t> data, const LogSink& log);

  DisplayScreen& screen_;
  std::vector<uint8_t> pending_;
  bool selected_ = true;  // ESC = n: the display takes data only while selected
};

std::string FormatLogLine(std::span<const uint8_t> bytes, const std::string& meaning);

}  // namespace vdev
