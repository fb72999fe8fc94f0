// The lists of the Flashwise window and the settings file "flashwise.ini" beside the
// program (section "LOGO"), which remembers the choices between runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace flashwise {

inline constexpr const char* kCaption = "Firmware Setup 2.15";
inline constexpr const char* kSettingsFileName = "flashwise.ini";
inline constexpr const char* kSettingsSection = "LOGO";

const std::vector<std::string>& PrinterList();   // "Thermal"
const std::vector<std::string>& PortList();      // "LPT1", "LPT2", "USB", "TCP/IP", "COM1".."COM12"
const std::vector<std::string>& BaudRateList();  // "2400 bps" .. "38400 bps"
const std::vector<std::string>& BitLengthList();  // "8 bit"
const std::vector<std::string>& ParityList();     // "NONE", "EVEN", "ODD"
const std::vector<std::string>& StopBitList();    // "1 bit"
const std::vector<std::string>& HandShakeList();  // "DTR/DSR"

struct FlashwiseSettings {
  int printer = 0;
  int port = 0;
  std::string ip;
  int baud_rate = 0;
  int bit_length = 0;
  int parity = 0;
  int stop_bit = 0;
  int handshake = 0;
  std::string firmware;
};

// A stored list index: the text read as a number, truncated; a negative number, one not
// below `list_size` or a text that is not a number gives 0.
int ListIndexFromText(std::string_view text, size_t list_size);

// Every key of the section; a missing file or key gives index 0 or an empty text.
FlashwiseSettings LoadSettings(const std::string& path);
// Writes every key. False when the file cannot be written.
bool SaveSettings(const FlashwiseSettings& settings, const std::string& path);

// The baud code the upload control takes for a text of the baud rate list ("9600 bps" 6);
// 0 for a text it does not know.
int BaudCodeFromText(std::string_view text);

}  // namespace flashwise
