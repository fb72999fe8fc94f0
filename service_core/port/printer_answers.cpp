#include "printer_answers.h"

namespace service_core {
namespace {
constexpr uint8_t kAnswerHead = 0x37;
constexpr uint8_t kProcessIdAnswer = 0x22;
constexpr uint8_t kClearAnswer = 0x25;
bool IsIdentifierByte(uint8_t b) { return b >= 0x20 && b <= 0x7E; }
}  // namespace

void PrinterAnswerScanner::Feed(std::span<const uint8_t> bytes,
                                std::vector<PrinterAnswer>& answers,
                                std::vector<uint8_t>& other) {
  for (const uint8_t b : bytes) {
    if (held_ == 0) {
      if (b == kAnswerHead)
        partial_[held_++] = b;
      else
        other.push_back(b);
      continue;
    }
    bool fits;
    if (held_ == 1)
      fits = b == kProcessIdAnswer || b == kClearAnswer;
    else if (partial_[1] == kClearAnswer)
      fits = b == 0x00;  // 37 25 00
    else
      fits = held_ < 6 ? IsIdentifierByte(b) : b == 0x00;
    if (!fits) {
      // Not an answer after all: what was held goes on as it came, and this byte may
      // begin the next one.
      other.insert(other.end(), partial_.begin(), partial_.begin() + held_);
      held_ = 0;
      if (b == kAnswerHead)
        partial_[held_++] = b;
      else
        other.push_back(b);
      continue;
    }
    partial_[held_++] = b;
    if (partial_[1] == kClearAnswer && held_ == 3) {
      answers.push_back({PrinterAnswer::Kind::kBuffersCleared, {}, other.size()});
      held_ = 0;
    } else if (held_ == 7) {
      answers.push_back({PrinterAnswer::Kind::kProcessId,
                         {partial_[2], partial_[3], partial_[4], partial_[5]},
                         other.size()});
      held_ = 0;
    }
  }
}

std::array<uint8_t, 4> MarkIdentifier(uint32_t mark) {
  mark %= 10000;
  return {static_cast<uint8_t>('0' + mark / 1000), static_cast<uint8_t>('0' + mark / 100 % 10),
          static_cast<uint8_t>('0' + mark / 10 % 10), static_cast<uint8_t>('0' + mark % 10)};
}

int MarkFromIdentifier(const std::array<uint8_t, 4>& id) {
  int mark = 0;
  for (const uint8_t b : id) {
    if (b < '0' || b > '9') return -1;
    mark = mark * 10 + (b - '0');
  }
  return mark;
}

}  // namespace service_core
