// Garbage never breaks the model: seeded random and mutated input with state changes in
// between, and a host, a person and an observer using one printer from three threads.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <variant>

#include "printer_harness.h"

namespace vdev::testing {
namespace {

// Checks every operation the printer hands out for internal consistency.
class CheckingSink : public PrintSink {
 public:
  void Print(const PrintOp& op) override { Check(op); }
  void Finish() override {}
  int bad = 0;
  size_t count = 0;

 private:
  void Check(const PrintOp& op) {
    ++count;
    if (auto* image = std::get_if<Image>(&op)) {
      if (image->width < 0 || image->height < 0 ||
          image->pixels.size() != size_t(image->width) * size_t(image->height))
        ++bad;
    } else if (auto* line = std::get_if<TextLine>(&op)) {
      for (const TextRun& run : line->runs)
        if (run.bytes.empty() || run.style.width < 1 || run.style.width > 8) ++bad;
    } else if (auto* page = std::get_if<PageBlock>(&op)) {
      for (const PrintOp& inner : page->contents) Check(inner);
    }
  }
};

Bytes Seeds() {
  return Cat(
      {B("\x1B@\x1B!\x38Hello\n\x1D!\x11\x1B"
         "a1x\n"),
       B("\x1Dk\x49\x05{Babc"),
       {0x1D, '*', 0x01, 0x01, 1, 2, 3, 4, 5, 6, 7, 8},
       B("\x1D/0\x1Cp\x01\x00"),
       {0x1B, '*', 0x21, 0x02, 0x00, 1, 2, 3, 4, 5, 6},
       B("\x1BL\x1BT\x03page\n\x1BW"),
       {0, 0, 0, 0, 0, 1, 50, 0},
       B("\x1B\x0C\x1BS\x1Bm\x1DV\x42\x05"),
       {0x10, 0x04, 0x01, 0x10, 0x04, 0x04},
       {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30, 'A', 'B', 'C', 'D'},
       {0x1D, 0x61, 0xFF, 0x1B, 0x70, 0x00, 0x10, 0x20, 0x10, 0x14, 0x08, 1, 3, 20, 1, 6, 2, 8}});
}

Bytes RandomInput(std::mt19937& random, const Bytes& seeds) {
  static const uint8_t kInteresting[] = {0x00, 0x0A, 0x0C, 0x0D, 0x10, 0x04, 0x14, 0x18,
                                         0x1B, 0x1C, 0x1D, 0x28, 0x2A, 0x48, 0x4C, 0x6B,
                                         0x70, 0x71, 0x76, 0x30, 0xFF, 0x01, 0x02, 0x41};
  Bytes out;
  if (random() % 2 == 0) {
    const size_t n = random() % 48;
    for (size_t i = 0; i < n; ++i)
      out.push_back(random() % 3 == 0 ? uint8_t(random())
                                      : kInteresting[random() % std::size(kInteresting)]);
    return out;
  }
  const size_t start = random() % seeds.size();
  out.assign(seeds.begin() + start,
             seeds.begin() + std::min(seeds.size(), start + 1 + random() % 40));
  for (int edits = random() % 4; edits > 0; --edits) {
    const size_t at = random() % (out.size() + 1);
    switch (random() % 3) {
      case 0:
        out.insert(out.begin() + at, uint8_t(random()));
        break;
      case 1:
        if (at < out.size()) out.erase(out.begin() + at);
        break;
      default:
        if (at < out.size()) out[at] ^= uint8_t(1u << (random() % 8));
        break;
    }
  }
  return out;
}

TEST(Robustness, RandomAndMutatedInputKeepsTheModelWhole) {
  std::mt19937 random(20240611);
  const Bytes seeds = Seeds();
  const char* kStates[] = {"cover open",  "cover close", "paper out",     "paper in",  "offline",
                           "online",      "drawer open", "drawer close",  "power off", "power on",
                           "answers off", "answers on",  "pin3 high-open"};
  CheckingSink sink;
  size_t answered = 0;
  for (int printer_round = 0; printer_round < 2000; ++printer_round) {
    PrinterConfig config;
    config.kind = printer_round % 3 == 0 ? PrinterKind::DotMatrix : PrinterKind::Thermal;
    config.link = PrinterLink(printer_round % 3);
    config.receive_buffer_bytes = 256;
    VirtualPrinter printer(config, &sink);
    printer.SetAnswerSink([&](std::span<const uint8_t> bytes) { answered += bytes.size(); });
    std::string reply;
    for (int i = 0; i < 100; ++i) {
      const Bytes input = RandomInput(random, seeds);
      printer.Receive(input);
      if (random() % 8 == 0) printer.Command(kStates[random() % std::size(kStates)], reply);
      const PrinterStatus status = printer.Status();
      ASSERT_LE(status.buffered_bytes, config.receive_buffer_bytes);
    }
  }
  EXPECT_EQ(sink.bad, 0);
  EXPECT_GT(sink.count, 1000u);
  EXPECT_GT(answered, 1000u);
}

TEST(Robustness, EveryByteAfterEveryPrefixFramesWithoutTrouble) {
  // Each of the 256 bytes after each introducer, then a status query: the query is
  // answered once the command's parameters are used up by zero bytes.
  for (uint8_t prefix : {0x1B, 0x1C, 0x1D, 0x10}) {
    for (int code = 0; code < 256; ++code) {
      Harness h;
      h.Send({prefix, uint8_t(code)});
      const Bytes zeros(16, 0x00);
      h.Send(zeros);
      const Bytes answer = h.Send({0x10, 0x04, 0x01});
      EXPECT_EQ(answer, Bytes{0x16}) << int(prefix) << " " << code;
    }
  }
}

TEST(Robustness, HostPersonAndObserverOnThreeThreads) {
  PrinterConfig config;
  config.receive_buffer_bytes = 1u << 20;  // nothing is lost however long the printer waits
  Harness h(config);
  std::atomic<bool> stop{false};
  std::thread host([&] {
    const Bytes receipt = Cat({B("\x1B"
                                 "E1Item\x1B"
                                 "E0 1.00\n"),
                               {0x10, 0x04, 0x01},
                               B("\x1B"
                                 "d\x01\x1Bm"),
                               {0x1D, 0x61, 0xFF}});
    for (int i = 0; i < 300; ++i) h.printer.Receive(receipt);
  });
  std::thread person([&] {
    std::string reply;
    const char* steps[] = {"cover open",  "cover close",  "paper out", "paper in",
                           "drawer open", "drawer close", "offline",   "online"};
    for (int i = 0; !stop; ++i) h.printer.Command(steps[i % 8], reply);
  });
  std::thread observer([&] {
    while (!stop) {
      (void)h.printer.Status();
      (void)h.printer.Lines();
      (void)h.printer.DecodedLog().size();
    }
  });
  host.join();
  stop = true;
  person.join();
  observer.join();
  h.printer.SetOffline(false);
  h.printer.SetCoverOpen(false);
  h.printer.SetPaperOut(false);
  // Everything held was printed once the printer came back; every receipt was cut.
  EXPECT_EQ(h.printer.Status().buffered_bytes, 0u);
  EXPECT_EQ(h.printer.Status().receipts, 300u);
  EXPECT_EQ(h.printer.Status().lost_bytes, 0u);
}

}  // namespace
}  // namespace vdev::testing
