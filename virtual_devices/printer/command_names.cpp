#include "command_names.h"

#include <cstdio>

namespace vdev::printer {
namespace {

struct Name {
  uint8_t prefix;
  uint8_t code;
  const char* mnemonic;
  const char* what;
  int shown;  // parameter bytes shown after the mnemonic
};

constexpr Name kNames[] = {
    {kEsc, '@', "ESC @", "initialize printer", 0},
    {kEsc, '!', "ESC !", "select print mode", 1},
    {kEsc, 'E', "ESC E", "emphasized on/off", 1},
    {kEsc, 'G', "ESC G", "double-strike on/off", 1},
    {kEsc, '-', "ESC -", "underline", 1},
    {kEsc, 'a', "ESC a", "justification", 1},
    {kEsc, '3', "ESC 3", "set line spacing", 1},
    {kEsc, '2', "ESC 2", "default line spacing", 0},
    {kEsc, 'r', "ESC r", "select print colour", 1},
    {kEsc, 't', "ESC t", "select character code table", 1},
    {kEsc, 'M', "ESC M", "select character font", 1},
    {kEsc, 'm', "ESC m", "partial cut", 0},
    {kEsc, 'i', "ESC i", "full cut", 0},
    {kEsc, 'd', "ESC d", "print and feed lines", 1},
    {kEsc, 'J', "ESC J", "print and feed", 1},
    {kEsc, 'e', "ESC e", "print and reverse feed lines", 1},
    {kEsc, 'K', "ESC K", "print and reverse feed", 1},
    {kEsc, 'p', "ESC p", "generate pulse (drawer kick)", 3},
    {kEsc, '*', "ESC *", "bit-image band", 3},
    {kEsc, 'L', "ESC L", "select page mode", 0},
    {kEsc, 'S', "ESC S", "select standard mode", 0},
    {kEsc, 'T', "ESC T", "page mode print direction", 1},
    {kEsc, 'W', "ESC W", "page mode print area", 8},
    {kEsc, kFf, "ESC FF", "print page", 0},
    {kEsc, 'V', "ESC V", "90-degree rotation", 1},
    {kEsc, '{', "ESC {", "upside-down printing", 1},
    {kEsc, ' ', "ESC SP", "character right spacing", 1},
    {kEsc, 'R', "ESC R", "international character set", 1},
    {kEsc, 'U', "ESC U", "unidirectional printing", 1},
    {kEsc, '=', "ESC =", "select peripheral device", 1},
    {kEsc, '%', "ESC %", "user-defined characters on/off", 1},
    {kEsc, '&', "ESC &", "define user-defined characters", 3},
    {kEsc, '?', "ESC ?", "cancel user-defined character", 1},
    {kEsc, 'D', "ESC D", "horizontal tab positions", 0},
    {kEsc, '$', "ESC $", "absolute print position", 2},
    {kEsc, '\\', "ESC \\", "relative print position", 2},
    {kEsc, 'c', "ESC c", "paper sensor or panel settings", 2},
    {kEsc, 'u', "ESC u", "transmit peripheral status", 1},
    {kEsc, 'v', "ESC v", "transmit paper sensor status", 0},
    {kGs, '!', "GS !", "character size", 1},
    {kGs, 'B', "GS B", "reverse printing", 1},
    {kGs, '*', "GS *", "define downloaded bit image", 2},
    {kGs, '/', "GS /", "print downloaded bit image", 1},
    {kGs, 'v', "GS v", "print raster bit image", 6},
    {kGs, 'k', "GS k", "print barcode", 2},
    {kGs, 'w', "GS w", "barcode module width", 1},
    {kGs, 'h', "GS h", "barcode height", 1},
    {kGs, 'H', "GS H", "barcode text position", 1},
    {kGs, 'f', "GS f", "barcode text font", 1},
    {kGs, 'V', "GS V", "cut paper", 1},
    {kGs, 'a', "GS a", "automatic status back", 1},
    {kGs, '(', "GS (", "extended function", 5},
    {kGs, 'I', "GS I", "transmit printer ID", 1},
    {kGs, 'r', "GS r", "transmit status", 1},
    {kGs, 'L', "GS L", "left margin", 2},
    {kGs, 'W', "GS W", "print area width", 2},
    {kGs, 'P', "GS P", "motion units", 2},
    {kGs, '8', "GS 8", "extended function", 5},
    {kEsc, '(', "ESC (", "extended function", 3},
    {kEsc, 'f', "ESC f", "slip waiting time", 2},
    {kEsc, '<', "ESC <", "return home", 0},
    {kGs, '<', "GS <", "initialize printer mechanism", 0},
    {kGs, 'Z', "GS Z", "select two-dimensional code", 1},
    {kGs, 'z', "GS z", "online recovery wait time", 3},
    {kGs, 'g', "GS g", "maintenance counter", 1},
    {kGs, 'C', "GS C", "counter printing", 1},
    {kGs, 'Q', "GS Q", "variable vertical size bit image", 6},
    {kFs, '(', "FS (", "extended function", 3},
    {kFs, 'g', "FS g", "NV user memory", 1},
    {kFs, '?', "FS ?", "cancel user-defined kanji", 2},
    {kFs, 'p', "FS p", "print NV bit image", 2},
    {kFs, 'q', "FS q", "define NV bit images", 1},
    {kDle, kEot, "DLE EOT", "real-time status", 1},
    {kDle, kEnq, "DLE ENQ", "real-time request", 1},
    {kDle, kDc4, "DLE DC4", "real-time function", 3},
};

const char* PrefixName(uint8_t prefix) {
  switch (prefix) {
    case kEsc:
      return "ESC";
    case kGs:
      return "GS";
    case kFs:
      return "FS";
    default:
      return "DLE";
  }
}

std::string ControlName(uint8_t byte) {
  switch (byte) {
    case kLf:
      return "LF  print and line feed";
    case kCr:
      return "CR  carriage return";
    case kHt:
      return "HT  horizontal tab";
    case kFf:
      return "FF  print page and return to standard mode";
    case kCan:
      return "CAN  cancel page data";
    case kNul:
      return "NUL  wake-up";
    default:
      return "?  unknown control byte, skipped";
  }
}

std::string Quoted(const std::vector<uint8_t>& text) {
  std::string out = "\"";
  for (uint8_t ch : text) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += char(ch);
    } else if (ch >= 0x20 && ch < 0x7F) {
      out += char(ch);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", ch);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace

std::string HexBytes(const std::vector<uint8_t>& bytes, size_t limit) {
  std::string out;
  char hex[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    if (!out.empty()) out += ' ';
    out += hex;
  }
  if (bytes.size() > limit) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

std::string DescribeCommand(const RawCommand& c) {
  if (c.is_text) return HexBytes(c.bytes) + "  " + Quoted(c.bytes) + "  text";
  const uint8_t first = c.At(0);
  if (c.bytes.size() == 1 && first != kEsc && first != kGs && first != kFs && first != kDle)
    return HexBytes(c.bytes) + "  " + ControlName(first);
  for (const Name& name : kNames) {
    if (name.prefix != first || name.code != c.At(1)) continue;
    std::string line = HexBytes(c.bytes) + "  " + name.mnemonic;
    for (int i = 0; i < name.shown && size_t(2 + i) < c.bytes.size(); ++i)
      line += " " + std::to_string(c.bytes[2 + i]);
    line += "  ";
    line += name.what;
    const size_t header = 2 + size_t(name.shown);
    if (c.bytes.size() > header)
      line += " (" + std::to_string(c.bytes.size() - header) + " data bytes)";
    return line;
  }
  char code[8];
  std::snprintf(code, sizeof code, "%02X", c.At(1));
  return HexBytes(c.bytes) + "  " + PrefixName(first) + " " + code + "  unknown command, skipped";
}

}  // namespace vdev::printer
