// What a link's monitor read in its rounds, however the reads cut it: the answers to our
// requests are taken out first (a started one waits for the next round), the rest is status
// blocks, with the start of a block kept from the round before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "printer_answers.h"

namespace service_core {

class MonitorReads {
 public:
  // One round's bytes. Only a thermal printer answers our requests.
  void Feed(std::span<const uint8_t> fresh, bool thermal);
  // The status bytes of this round, after the start of a block carried from the last one.
  std::span<const uint8_t> StatusBytes() const { return stream_; }
  // The answers completed in this round.
  const std::vector<PrinterAnswer>& Answers() const { return answers_; }
  // Keeps the start of a block whose rest has not arrived; call once the round is parsed.
  void CarryIncompleteBlock();
  // Forgets every answer and block started (the device was reopened or reconnected); the
  // answers already completed in this round stay: the printer did send them.
  void Reset();

 private:
  PrinterAnswerScanner scanner_;
  std::vector<PrinterAnswer> answers_;
  std::vector<uint8_t> stream_;
  size_t carried_ = 0;
};

}  // namespace service_core
