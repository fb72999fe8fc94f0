// A 42-column receipt printed asynchronously (15 PrintNormal calls, a barcode and a cut)
// through the control object against the virtual printer, first on a pseudo-terminal that
// reads at the pace of a serial line, then on loopback TCP through the network build: from
// the first call to the last output-complete event, and on the serial line as a ratio to the
// wire time of every byte the printer received. The goal is the wire time plus one
// completion handshake (150 ms), plus 10%.
// Usage: async_receipt_bench [receipts] [baud]
#include <algorithm>
#include <vector>

#include "bench_rig.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr double kHandshakeMs = 150;

std::vector<std::string> ReceiptLines() {
  std::vector<std::string> lines = {"\x1B|cA\x1B|bCCorner Shop\n", "\x1B|cAHigh Street 12\n",
                                    "Till 3   Receipt 0815   12:04\n", "\n"};
  const char* items[] = {"Coffee", "Croissant", "Orange juice", "Muffin", "Water", "Newspaper",
                         "Chewing gum"};
  char text[64];
  for (int i = 0; i < 7; ++i) {
    std::snprintf(text, sizeof text, "%-32s%8.2f\n", items[i], 1.25 + i * 0.75);
    lines.push_back(text);
  }
  lines.push_back("\x1B|bCTotal                             21.75\n");
  lines.push_back("Card                              21.75\n");
  lines.push_back("VAT 19% included                   3.47\n");
  lines.push_back("\x1B|cAThank you for your visit\n");
  return lines;  // 15
}

// Prints `receipts` receipts on one link and reports each; true when every one met the goal.
bool RunLink(bench::Link link, int receipts, int baud) {
  const bool serial = link == bench::Link::Serial;
  bench::Rig rig(baud, link);
  auto& printer = rig.printer();
  printer.SetAsyncMode(true);
  bench::Check(printer.ResultCode(), "AsyncMode");
  std::vector<int32_t> completed;
  printer.on_output_complete = [&](int32_t id) { completed.push_back(id); };
  const std::vector<std::string> lines = ReceiptLines();

  if (serial) {
    std::printf("asynchronous receipt, %zu PrintNormal + barcode + cut, serial build, line paced "
                "at %d baud\n", lines.size(), baud);
  } else {
    std::printf("asynchronous receipt, %zu PrintNormal + barcode + cut, network build, loopback "
                "TCP (no wire time)\n", lines.size());
  }
  std::printf("%8s %8s %10s %10s %10s %8s %6s\n", "receipt", "bytes", "wire ms", "calls ms",
              "last OC ms", "ratio", "goal");
  std::vector<double> totals, ratios;
  bool all_met = true;
  for (int r = 0; r < receipts; ++r) {
    completed.clear();
    platform::PumpMessages(300);
    const size_t before = rig.Received();
    const auto start = Clock::now();
    for (const std::string& line : lines) bench::Check(printer.PrintNormal(2, line), "PrintNormal");
    bench::Check(printer.PrintBarCode(2, "4006381333931", 104, 80, 300, -2, -13), "PrintBarCode");
    bench::Check(printer.CutPaper(100), "CutPaper");
    const auto calls_done = Clock::now();
    const int32_t last_id = printer.GetPropertyNumber(5);  // OutputID
    bench::PumpUntil([&] { return !completed.empty() && completed.back() == last_id; },
                     "the last output-complete event");
    const auto last = Clock::now();
    const size_t expected = lines.size() + 2;
    if (completed.size() != expected || !std::is_sorted(completed.begin(), completed.end()))
      bench::Fail("output-complete events missing or out of order");
    platform::PumpMessages(200);
    const size_t bytes = rig.Received() - before;
    const double wire = serial ? bench::WireMs(bytes, baud) : 0.0;
    const double total = Ms(last - start);
    const bool met = total <= (wire + kHandshakeMs) * 1.1;
    all_met = all_met && met;
    totals.push_back(total);
    char ratio[16] = "-";
    if (wire > 0) {
      ratios.push_back(total / wire);
      std::snprintf(ratio, sizeof ratio, "%.3f", total / wire);
    }
    std::printf("%8d %8zu %10.1f %10.2f %10.1f %8s %6s\n", r + 1, bytes, wire,
                Ms(calls_done - start), total, ratio, met ? "met" : "MISSED");
  }
  std::sort(totals.begin(), totals.end());
  std::printf("median time to the last output-complete: %.1f ms", totals[totals.size() / 2]);
  if (!ratios.empty()) {
    std::sort(ratios.begin(), ratios.end());
    std::printf(", %.3f times the wire time", ratios[ratios.size() / 2]);
  }
  std::printf(" (goal: wire + %.0f ms, plus 10%%)\n\n", kHandshakeMs);
  return all_met;
}

}  // namespace

int main(int argc, char** argv) {
  const int receipts = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  const int baud = argc > 2 ? std::max(50, atoi(argv[2])) : 9600;
  const bool serial_met = RunLink(bench::Link::Serial, receipts, baud);
  const bool tcp_met = RunLink(bench::Link::Tcp, receipts, baud);
  return serial_met && tcp_met ? 0 : 2;
}
