// Completion requests with an identifier of their own, the printer's answers to them, and
// the real-time buffer clear. A thermal printer answers a completion request when it has
// processed everything written before it; a printer that is offline keeps unprinted data
// (and the request) in its buffer and prints it when it comes back, unless the buffer is
// cleared first. What the application is told rests on these answers.
#include <algorithm>

#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"

namespace service_core {

namespace {
// Answers kept for lookup; far more than the requests ever waiting at once.
constexpr size_t kAnswersKept = 256;
constexpr uint32_t kAnswerPollMs = 20;
constexpr uint32_t kClearAnswerWaitMs = 1000;
// DLE DC4 8: clear the receive and print buffers; answered with 37 25 00.
constexpr uint8_t kClearBuffers[] = {0x10, 0x14, 0x08, 0x01, 0x03, 0x14, 0x01, 0x06, 0x02, 0x08};

// Waits `ms` unless `stop` is signalled first; false when it was.
bool Pause(platform::Event* stop, platform::Event& wake, uint32_t ms) {
  if (stop == nullptr) {
    platform::WaitForOne(wake, ms);
    return true;
  }
  return platform::WaitForAny({&wake, stop}, ms) != 1;
}
}  // namespace

void CPOSPrinter::OnPrinterAnswer(const PrinterAnswer& answer) {
  {
    std::lock_guard lock(answers_mutex_);
    if (answer.kind == PrinterAnswer::Kind::kBuffersCleared) {
      ++clears_answered_;
    } else if (const int mark = MarkFromIdentifier(answer.id); mark >= 0) {
      const auto asked = std::find(asked_marks_.begin(), asked_marks_.end(), uint32_t(mark));
      if (asked == asked_marks_.end()) return;  // not asked for in this claim: stale or noise
      asked_marks_.erase(asked);
      answered_marks_.push_back(static_cast<uint32_t>(mark));
      if (answered_marks_.size() > kAnswersKept) answered_marks_.pop_front();
    }
  }
  completion_event_.Set();
}

uint32_t CPOSPrinter::NewMark() {
  // Identifiers are four digits; 0 is never used, so it can mean "none".
  uint32_t mark = ++next_mark_ % 10000;
  if (mark == 0) mark = ++next_mark_ % 10000;
  return mark;
}

std::array<uint8_t, 11> CPOSPrinter::CompletionRequest(uint32_t mark) {
  // GS ( H fn 48: answer with process identifier d1..d4 once everything before is processed.
  const std::array<uint8_t, 4> id = MarkIdentifier(mark);
  {
    // Noted before the bytes go out: the answer may come before WritePort returns.
    std::lock_guard lock(answers_mutex_);
    if (std::find(asked_marks_.begin(), asked_marks_.end(), mark) == asked_marks_.end()) {
      asked_marks_.push_back(mark);
      if (asked_marks_.size() > kAnswersKept) asked_marks_.pop_front();
    }
  }
  return {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30, id[0], id[1], id[2], id[3]};
}

bool CPOSPrinter::WriteCompletionRequest(uint32_t mark) {
  const std::array<uint8_t, 11> request = CompletionRequest(mark);
  return port_.WritePort(request.data(), request.size()) != 0;
}

bool CPOSPrinter::MarkAnswered(uint32_t mark) {
  std::lock_guard lock(answers_mutex_);
  for (const uint32_t answered : answered_marks_) {
    if (answered == mark) return true;
  }
  return false;
}

bool CPOSPrinter::PrinterProcessedAll(uint32_t limit_ms, platform::Event* stop) {
  const uint32_t mark = NewMark();
  if (!WriteCompletionRequest(mark)) return false;
  port_.SetFastPoll(true);
  const uint64_t start = platform::TickCountMs();
  while (!MarkAnswered(mark)) {
    if (platform::TickCountMs() - start >= limit_ms) return false;
    if (!Pause(stop, completion_event_, kAnswerPollMs)) return false;
  }
  return true;
}

bool CPOSPrinter::ClearPrinterBuffer(platform::Event* stop) {
  uint64_t before;
  {
    std::lock_guard lock(answers_mutex_);
    before = clears_answered_;
  }
  if (!port_.WritePort(kClearBuffers, sizeof kClearBuffers)) return false;
  port_.SetFastPoll(true);
  // An image download still waiting in the buffer is gone with it.
  ForgetBitmapDownloads();
  const uint64_t start = platform::TickCountMs();
  for (;;) {
    {
      std::lock_guard lock(answers_mutex_);
      if (clears_answered_ > before) return true;
    }
    if (platform::TickCountMs() - start >= kClearAnswerWaitMs) return false;
    if (!Pause(stop, completion_event_, kAnswerPollMs)) return false;
  }
}

}  // namespace service_core
