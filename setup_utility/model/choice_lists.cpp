#include "choice_lists.h"

#include <algorithm>
#include <span>
#include <sstream>

#include "inf_file.h"

namespace confix {

namespace {

struct Known {
  int32_t code;
  const char* text;
};

const Known kBaudrates[] = {{3, "1200 bps"},  {4, "2400 bps"},  {5, "4800 bps"},
                            {6, "9600 bps"},  {7, "19200 bps"}, {8, "38400 bps"},
                            {10, "115200 bps"}};
const Known kBitLengths[] = {{0, "7 bit"}, {1, "8 bit"}};
const Known kParities[] = {{0, "NONE"}, {1, "EVEN"}, {2, "ODD"}};
const Known kStops[] = {{1, "1 bit"}};
const Known kHandShakes[] = {{2, "DTR/DSR"}};

std::span<const Known> TableOf(ChoiceKind kind) {
  switch (kind) {
    case ChoiceKind::Baudrate: return kBaudrates;
    case ChoiceKind::BitLength: return kBitLengths;
    case ChoiceKind::Parity: return kParities;
    case ChoiceKind::Stop: return kStops;
    case ChoiceKind::HandShake: return kHandShakes;
  }
  return {};
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::string ChoiceText(ChoiceKind kind, int32_t code) {
  for (const Known& known : TableOf(kind)) {
    if (known.code == code) return known.text;
  }
  return {};
}

std::vector<Choice> ChoicesFromSel(ChoiceKind kind, const std::string& sel) {
  std::vector<Choice> choices;
  std::stringstream items(sel);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.find_first_of("0123456789") == std::string::npos) continue;
    int32_t code = ParseLeadingNumber(item);
    std::string text = ChoiceText(kind, code);
    if (!text.empty()) choices.push_back({code, text});
  }
  return choices;
}

bool IsParallelOrUsbPort(const std::string& port) {
  return StartsWith(port, "LPT") || StartsWith(port, "USB");
}

std::vector<std::string> PortChoices(const std::string& stored_port) {
  if (StartsWith(stored_port, "USB")) return {"USB"};
  if (StartsWith(stored_port, "LPT")) return {"LPT1"};
  std::vector<std::string> ports;
  for (int n = 1; n <= 12; ++n) ports.push_back("COM" + std::to_string(n));
  // A port set elsewhere (COM13, a device path) stays selectable, so that opening and
  // closing the dialog does not replace it with COM1.
  if (!stored_port.empty() && std::find(ports.begin(), ports.end(), stored_port) == ports.end()) {
    ports.push_back(stored_port);
  }
  return ports;
}

}  // namespace confix
