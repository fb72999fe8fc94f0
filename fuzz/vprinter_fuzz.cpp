// libFuzzer target for the virtual printer's command interpreter. The first byte picks the
// printer (kind, link, columns), the second drives how the rest is cut into reads and
// which state changes a person makes between them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "virtual_devices/virtual_printer.h"

namespace {

class CheckingSink : public vdev::PrintSink {
 public:
  void Print(const vdev::PrintOp& op) override { Check(op); }
  void Finish() override {}

 private:
  static void Check(const vdev::PrintOp& op) {
    if (auto* image = std::get_if<vdev::Image>(&op)) {
      if (image->pixels.size() != size_t(image->width) * size_t(image->height)) __builtin_trap();
    } else if (auto* page = std::get_if<vdev::PageBlock>(&op)) {
      for (const vdev::PrintOp& inner : page->contents) Check(inner);
    }
  }
};

const char* const kStates[] = {"cover open",     "cover close",  "paper out",   "paper in",
                               "offline",        "online",       "drawer open", "drawer close",
                               "power off",      "power on",     "answers off", "answers on",
                               "pin3 high-open", "pin3 low-open"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  vdev::PrinterConfig config;
  config.kind = (data[0] & 1) ? vdev::PrinterKind::DotMatrix : vdev::PrinterKind::Thermal;
  config.link = vdev::PrinterLink((data[0] >> 1) % 3);
  config.columns = (data[0] & 8) ? 56 : 42;
  config.receive_buffer_bytes = 512;
  CheckingSink sink;
  vdev::VirtualPrinter printer(config, &sink);
  size_t answered = 0;
  printer.SetAnswerSink([&](std::span<const uint8_t> bytes) { answered += bytes.size(); });

  uint32_t rhythm = data[1];
  std::string reply;
  for (size_t pos = 2; pos < size;) {
    rhythm = rhythm * 1103515245u + 12345u;
    const size_t n = std::min<size_t>(size - pos, 1 + (rhythm >> 16) % 32);
    printer.Receive(std::span<const uint8_t>(data + pos, n));
    pos += n;
    if ((rhythm >> 8) % 8 == 0) printer.Command(kStates[(rhythm >> 24) % 14], reply);
    if (printer.Status().buffered_bytes > config.receive_buffer_bytes) __builtin_trap();
  }
  printer.Finish();
  return 0;
}
