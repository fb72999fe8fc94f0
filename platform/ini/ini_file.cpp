#include "platform/ini_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "ini_document.h"
#include "ini_storage.h"

namespace platform {

namespace {

// Cuts at most kMaxProfileValueLength bytes without splitting a UTF-8 sequence.
std::string Limit(std::string_view text) {
  if (text.size() <= kMaxProfileValueLength) return std::string(text);
  size_t size = kMaxProfileValueLength;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return std::string(text.substr(0, size));
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsStorableSection(std::string_view section) {
  return !section.empty() && !HasLineBreak(section) && section.find(']') == std::string_view::npos;
}

bool IsStorableKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
         key.front() != '[' && key.front() != ';';
}

int ParseLeadingInt(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) break;
    magnitude = std::min<int64_t>(magnitude * base + digit, int64_t{INT_MAX} + 1);
  }
  int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path) {
  std::optional<std::string> text = ini::ReadWholeFile(path);
  if (text) {
    ini::IniDocument document(*text);
    std::optional<std::string_view> value = document.Find(section, key);
    if (value) return Limit(Unquote(*value));
  }
  size_t end = default_value.find_last_not_of(" \t");
  return Limit(end == std::string_view::npos ? std::string_view()
                                             : default_value.substr(0, end + 1));
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int default_value,
                         const std::string& path) {
  std::optional<std::string> text = ini::ReadWholeFile(path);
  if (!text) return default_value;
  ini::IniDocument document(*text);
  std::optional<std::string_view> value = document.Find(section, key);
  if (!value) return default_value;
  return ParseLeadingInt(Unquote(*value));
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value, const std::string& path) {
  section = ini::TrimBlanks(section);
  key = ini::TrimBlanks(key);
  if (!IsStorableSection(section) || !IsStorableKey(key)) return false;
  if (value && HasLineBreak(*value)) return false;
  return ini::UpdateFile(path, /*create=*/value.has_value(), [&](ini::IniDocument& document) {
    if (value) {
      document.Set(section, key, *value);
    } else {
      document.Remove(section, key);
    }
  });
}

bool DeletePrivateProfileSection(std::string_view section, const std::string& path) {
  section = ini::TrimBlanks(section);
  if (!IsStorableSection(section)) return false;
  return ini::UpdateFile(path, /*create=*/false,
                         [&](ini::IniDocument& document) { document.RemoveSection(section); });
}

}  // namespace platform
