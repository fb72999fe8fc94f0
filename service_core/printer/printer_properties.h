// The printer's own properties (indexes 8001 and up, 1008001 and up) with the values they
// have when the object is created, and the changes a printer model brings. The common
// OPOS properties of the frame are kept by CPOSPrinter itself.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace service_core {

class PrinterProperties {
 public:
  PrinterProperties();

  // A configured model name not beginning with "Thermal" takes the dot-matrix values; one
  // beginning with "RevUduzo4" also has no cover sensor and no paper cutter.
  void ApplyModel(const std::string& model_name);

  // Unknown indexes read as 0 and "".
  int32_t Number(int32_t index) const;
  std::string String(int32_t index) const;
  void SetNumber(int32_t index, int32_t value);
  void SetString(int32_t index, const std::string& value);

  // MapMode: converts RecLineSpacing into the new unit and sets the receipt width and
  // height of that unit. A mode outside 1 to 4 is stored with no other change.
  void ChangeMapMode(int32_t mode);
  // RecLineSpacing in the current unit; recomputes RecLinesToPaperCut from it. A spacing
  // of zero or less has no paper-cut distance and is refused (false, nothing changes).
  bool ChangeRecLineSpacing(int32_t spacing);

 private:
  mutable std::mutex mutex_;  // the status and output threads update some of them
  std::map<int32_t, int32_t> numbers_;
  std::map<int32_t, std::string> strings_;
  int32_t line_dots_ = 512;  // dots of a full receipt line of the model
};

bool IsThermalModel(const std::string& model_name);

// Printer dots per unit of a MapMode (1 dots, 2 twips, 3 0.001 inch, 4 0.01 mm); an
// unknown mode counts as dots.
double DotsPerUnit(int32_t map_mode);
// Converts a distance in the given MapMode to whole printer dots (rounded).
int32_t UnitsToDots(int32_t value, int32_t map_mode);

// The n of ESC t n that selects the printer's code page for a CharacterSet value.
uint8_t CodePageCommandNumber(int32_t character_set);

// Printer property indexes the service object handles by name.
namespace prop {
inline constexpr int32_t kCharacterSet = 8002;
inline constexpr int32_t kCoverOpen = 8003;
inline constexpr int32_t kMapMode = 8013;
inline constexpr int32_t kRecEmpty = 8014;
inline constexpr int32_t kRecLineChars = 8016;
inline constexpr int32_t kRecLineHeight = 8017;
inline constexpr int32_t kRecLineSpacing = 8018;
inline constexpr int32_t kRecLinesToPaperCut = 8019;
inline constexpr int32_t kRecLineWidth = 8020;
inline constexpr int32_t kErrorLevel = 8035;
inline constexpr int32_t kErrorString = 1008005;
}  // namespace prop

}  // namespace service_core
