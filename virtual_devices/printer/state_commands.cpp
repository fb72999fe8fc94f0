// The state changes a person or a test types, as text.
#include <cctype>
#include <string>
#include <utility>

#include "virtual_devices/virtual_printer.h"

namespace vdev {
namespace {

std::string StatusText(const PrinterStatus& s, const PrinterConfig& config) {
  auto pick = [](bool b, const char* yes, const char* no) { return std::string(b ? yes : no); };
  return pick(s.power, "power on", "power off") + ", " + pick(s.online(), "online", "offline") +
         ", cover " + pick(s.cover_open, "open", "closed") + ", paper " +
         pick(s.paper_out, "out", "in") + ", drawer " + pick(s.drawer_open, "open", "closed") +
         " (pin 3 " + pick(s.pin3_high, "high", "low") + ", " +
         pick(config.pin3_when_open == Pin3Level::High, "high", "low") + " when open)" +
         ", automatic status back " + pick(s.asb_enabled, "on", "off") + ", answers " +
         pick(s.answering, "on", "off") + ", " + std::to_string(s.buffered_bytes) +
         " bytes held, " + std::to_string(s.receipts) + " receipts, " + std::to_string(s.lines) +
         " lines";
}

}  // namespace

bool VirtualPrinter::Command(const std::string& line, std::string& reply) {
  std::string words;
  for (char ch : line) {
    const char lower = char(std::tolower(static_cast<unsigned char>(ch)));
    if (std::isspace(static_cast<unsigned char>(lower))) {
      if (!words.empty() && words.back() != ' ') words += ' ';
    } else {
      words += lower;
    }
  }
  if (!words.empty() && words.back() == ' ') words.pop_back();

  if (words == "firmware") {
    reply = FirmwareSummary();
    return true;
  }
  using Action = void (*)(VirtualPrinter&);
  static const std::pair<const char*, Action> kCommands[] = {
      {"cover open", [](VirtualPrinter& p) { p.SetCoverOpen(true); }},
      {"cover close", [](VirtualPrinter& p) { p.SetCoverOpen(false); }},
      {"cover closed", [](VirtualPrinter& p) { p.SetCoverOpen(false); }},
      {"paper out", [](VirtualPrinter& p) { p.SetPaperOut(true); }},
      {"paper in", [](VirtualPrinter& p) { p.SetPaperOut(false); }},
      {"power off", [](VirtualPrinter& p) { p.SetPower(false); }},
      {"power on", [](VirtualPrinter& p) { p.SetPower(true); }},
      {"offline", [](VirtualPrinter& p) { p.SetOffline(true); }},
      {"online", [](VirtualPrinter& p) { p.SetOffline(false); }},
      {"drawer open", [](VirtualPrinter& p) { p.SetDrawerOpen(true); }},
      {"drawer close", [](VirtualPrinter& p) { p.SetDrawerOpen(false); }},
      {"drawer closed", [](VirtualPrinter& p) { p.SetDrawerOpen(false); }},
      {"pin3 high-open", [](VirtualPrinter& p) { p.SetPin3OpenLevel(Pin3Level::High); }},
      {"pin3 low-open", [](VirtualPrinter& p) { p.SetPin3OpenLevel(Pin3Level::Low); }},
      {"answers off", [](VirtualPrinter& p) { p.SetAnswering(false); }},
      {"answers on", [](VirtualPrinter& p) { p.SetAnswering(true); }},
      {"status", [](VirtualPrinter&) {}},
  };
  for (const auto& [name, action] : kCommands) {
    if (words != name) continue;
    action(*this);
    reply = StatusText(Status(), Config());
    return true;
  }
  reply = "unknown printer command: " + line;
  return false;
}

}  // namespace vdev
