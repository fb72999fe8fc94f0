// The answers a thermal printer sends to requests of ours, found in what the port reads
// however the reads cut them: the process identifier answer (37 22 d1 d2 d3 d4 00) that
// confirms everything written before its request was processed, and the answer to the
// real-time buffer clear (37 25 00). Neither can be part of a status block (0x37 has bit 0
// set), so the scanner holds a started answer back and passes every other byte on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace service_core {

struct PrinterAnswer {
  enum class Kind { kProcessId, kBuffersCleared };
  Kind kind = Kind::kProcessId;
  std::array<uint8_t, 4> id{};  // the process identifier (kProcessId)
  // How many of the other bytes the scanner passed on came before it: where it stood among
  // the status blocks.
  size_t position = 0;
};

class PrinterAnswerScanner {
 public:
  // Takes one read. Appends the answers it completed to `answers` and every byte that is
  // not part of an answer (status blocks, real-time status) to `other`, in order. A started
  // answer is kept for the next read.
  void Feed(std::span<const uint8_t> bytes, std::vector<PrinterAnswer>& answers,
            std::vector<uint8_t>& other);
  // Forgets a started answer (the port was reopened).
  void Reset() { held_ = 0; }

 private:
  // Bytes of an answer begun and not finished; they go to `other` if it turns out not
  // to be one.
  std::array<uint8_t, 7> partial_{};
  size_t held_ = 0;
};

// The process identifier of the completion request number `mark` (digits, 0000 to 9999) and
// back; -1 for an identifier that is not one of ours.
std::array<uint8_t, 4> MarkIdentifier(uint32_t mark);
int MarkFromIdentifier(const std::array<uint8_t, 4>& id);

}  // namespace service_core
