#include "print_data/feed_units.h"

#include <algorithm>

namespace print_data {
namespace {

constexpr int64_t kDotsPerStep = 50;

void AppendStep(int64_t value, std::string& out) {
  out.push_back(0x1B);
  out.push_back('3');
  out.push_back(static_cast<char>(std::clamp<int64_t>(value, 1, 255)));
  out.push_back('\n');
}

}  // namespace

int64_t FeedUnitsTotal(int64_t dots, PrinterKind kind) {
  if (kind == PrinterKind::kThermal) return 2 * dots;
  return static_cast<int64_t>(static_cast<double>(dots) * 0.3000300030003 + 0.5) + 15;
}

uint64_t FeedUnitsLength(int64_t dots) {
  if (dots < 0) return 0;
  const int64_t steps = dots > kDotsPerStep ? dots / kDotsPerStep : 0;
  return static_cast<uint64_t>(steps) * 4 + 7;
}

void AppendFeedUnits(int64_t dots, PrinterKind kind, std::string& out) {
  if (dots < 0) return;
  const int64_t total = FeedUnitsTotal(dots, kind);
  const int64_t values = dots > kDotsPerStep ? dots / kDotsPerStep + 1 : 1;
  // Spread the total over the values, the larger shares first; with at most 50 dots a
  // value stays within 1..255 on both models (at most 100 thermal, 45 dot-matrix).
  const int64_t share = total / values;
  const int64_t larger = total % values;
  for (int64_t i = 0; i < values; ++i) AppendStep(share + (i < larger ? 1 : 0), out);
  out.append("\x1B\x33\x3C");
}

}  // namespace print_data
