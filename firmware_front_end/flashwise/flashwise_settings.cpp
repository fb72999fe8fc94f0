#include "flashwise_settings.h"

#include <cmath>
#include <cstdlib>

#include "platform/ini_file.h"

namespace flashwise {
namespace {

std::vector<std::string> MakePortList() {
  std::vector<std::string> ports{"LPT1", "LPT2", "USB", "TCP/IP"};
  for (int n = 1; n <= 12; ++n) ports.push_back("COM" + std::to_string(n));
  return ports;
}

std::string Read(const char* key, const std::string& path) {
  return platform::GetPrivateProfileString(kSettingsSection, key, "", path);
}

}  // namespace

const std::vector<std::string>& PrinterList() {
  static const std::vector<std::string> list{"Thermal"};
  return list;
}
const std::vector<std::string>& PortList() {
  static const std::vector<std::string> list = MakePortList();
  return list;
}
const std::vector<std::string>& BaudRateList() {
  static const std::vector<std::string> list{"2400 bps", "4800 bps", "9600 bps", "19200 bps",
                                             "38400 bps"};
  return list;
}
const std::vector<std::string>& BitLengthList() {
  static const std::vector<std::string> list{"8 bit"};
  return list;
}
const std::vector<std::string>& ParityList() {
  static const std::vector<std::string> list{"NONE", "EVEN", "ODD"};
  return list;
}
const std::vector<std::string>& StopBitList() {
  static const std::vector<std::string> list{"1 bit"};
  return list;
}
const std::vector<std::string>& HandShakeList() {
  static const std::vector<std::string> list{"DTR/DSR"};
  return list;
}

int ListIndexFromText(std::string_view text, size_t list_size) {
  const std::string value(text);
  const char* begin = value.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  if (*begin == '\0') return 0;
  char* end = nullptr;
  const double number = std::strtod(begin, &end);
  while (*end == ' ' || *end == '\t') ++end;
  // Only plain decimal numbers count: no hexadecimal, infinity or "not a number".
  for (const char* p = begin; p < end; ++p) {
    if (*p == 'x' || *p == 'X' || *p == 'n' || *p == 'N' || *p == 'i' || *p == 'I') return 0;
  }
  if (*end != '\0' || !std::isfinite(number) || number < 0) return 0;
  const double index = std::trunc(number);
  return index < static_cast<double>(list_size) ? static_cast<int>(index) : 0;
}

FlashwiseSettings LoadSettings(const std::string& path) {
  FlashwiseSettings s;
  s.printer = ListIndexFromText(Read("Printer", path), PrinterList().size());
  s.port = ListIndexFromText(Read("Port", path), PortList().size());
  s.ip = Read("IP", path);
  s.baud_rate = ListIndexFromText(Read("BaudRate", path), BaudRateList().size());
  s.bit_length = ListIndexFromText(Read("BitLength", path), BitLengthList().size());
  s.parity = ListIndexFromText(Read("Parity", path), ParityList().size());
  s.stop_bit = ListIndexFromText(Read("StopBit", path), StopBitList().size());
  s.handshake = ListIndexFromText(Read("HandShake", path), HandShakeList().size());
  s.firmware = Read("FirmWare", path);
  return s;
}

bool SaveSettings(const FlashwiseSettings& s, const std::string& path) {
  const std::pair<const char*, std::string> values[] = {
      {"Printer", std::to_string(s.printer)},
      {"Port", std::to_string(s.port)},
      {"IP", s.ip},
      {"BaudRate", std::to_string(s.baud_rate)},
      {"BitLength", std::to_string(s.bit_length)},
      {"Parity", std::to_string(s.parity)},
      {"StopBit", std::to_string(s.stop_bit)},
      {"HandShake", std::to_string(s.handshake)},
      {"FirmWare", s.firmware},
  };
  bool ok = true;
  for (const auto& [key, value] : values) {
    ok = platform::WritePrivateProfileString(kSettingsSection, key, value, path) && ok;
  }
  return ok;
}

int BaudCodeFromText(std::string_view text) {
  static constexpr std::pair<std::string_view, int> kCodes[] = {
      {"1200 bps", 3},  {"2400 bps", 4},  {"4800 bps", 5},  {"9600 bps", 6},
      {"19200 bps", 7}, {"38400 bps", 8}, {"57600 bps", 9}, {"115200 bps", 10}};
  for (const auto& [name, code] : kCodes) {
    if (name == text) return code;
  }
  return 0;
}

}  // namespace flashwise
