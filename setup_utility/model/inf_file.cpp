#include "inf_file.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/ini_file.h"

namespace confix {

namespace {

void ReplaceAll(std::string& text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    text.replace(at, what.size(), " ");
  }
}

std::string TrimSpaces(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string CleanInfText(std::string_view raw) {
  std::string text(raw.substr(0, raw.find(';')));
  for (std::string_view what : {"\t", "INT:", "STRING:", "int:", "\""}) ReplaceAll(text, what);
  return TrimSpaces(text);
}

std::string ReadInfValue(const std::string& path, std::string_view section, std::string_view key) {
  return CleanInfText(platform::GetPrivateProfileString(section, key, "", path));
}

int32_t ParseLeadingNumber(std::string_view text) {
  size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return 0;
  size_t end = at;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  size_t digits_from = end;
  while (end < text.size() && IsDigit(text[end])) ++end;
  size_t whole_digits = end - digits_from;
  size_t fraction_digits = 0;
  if (end < text.size() && text[end] == '.') {
    size_t fraction_from = ++end;
    while (end < text.size() && IsDigit(text[end])) ++end;
    fraction_digits = end - fraction_from;
  }
  if (whole_digits + fraction_digits == 0) return 0;
  std::string number(text.substr(at, end - at));
  double value = std::strtod(number.c_str(), nullptr);
  if (!(value < 2147483647.5)) return std::numeric_limits<int32_t>::max();
  if (!(value >= -2147483648.5)) return std::numeric_limits<int32_t>::min();
  // The default rounding mode sends halves to the even neighbour.
  double rounded = std::nearbyint(value);
  if (rounded > 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (rounded < -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

int32_t ReadInfNumber(const std::string& path, std::string_view section, std::string_view key) {
  return ParseLeadingNumber(ReadInfValue(path, section, key));
}

int32_t VariantCount(const std::string& path) { return ReadInfNumber(path, "COMMNumber", "Cnumber"); }

std::string VariantDeviceName(const std::string& path, int k) {
  if (k < 0 || k >= 4) return {};
  return ReadInfValue(path, std::string(1, kLinkLetters[k]) + "MAIN", "DeviceName");
}

std::string InfTypeName(const std::string& path) {
  std::string name = VariantDeviceName(path, 0);
  if (!name.empty()) name.pop_back();
  return name;
}

}  // namespace confix
