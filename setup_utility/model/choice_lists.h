// The settings dialogs' drop-down lists: the codes stored in the registry and the texts
// shown for them, and the port names offered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace confix {

struct Choice {
  int32_t code;
  std::string text;
};

enum class ChoiceKind { Baudrate, BitLength, Parity, Stop, HandShake };

// The texts of the codes listed in a "...Sel" value ("3,4,5,6"), in the value's order;
// codes the dialog does not know add nothing.
std::vector<Choice> ChoicesFromSel(ChoiceKind kind, const std::string& sel);
// The text of a code, empty when unknown.
std::string ChoiceText(ChoiceKind kind, int32_t code);

// "COM1" to "COM12" (and the stored port when it is another) for a serial entry, only "USB" for a port beginning with "USB",
// only "LPT1" for one beginning with "LPT".
std::vector<std::string> PortChoices(const std::string& stored_port);
// A port beginning with "LPT" or "USB": the serial link settings do not apply.
bool IsParallelOrUsbPort(const std::string& port);

}  // namespace confix
