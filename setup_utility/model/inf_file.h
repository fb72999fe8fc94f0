// Reading device information files (".inf"): Windows initialisation files that describe
// one family of printers or drawers in up to four link variants (S, P, U, N).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace confix {

// The value text as the utility uses it: a ";" comment cut off; tabs, "INT:", "STRING:",
// "int:" and double quotes turned into spaces wherever they stand; spaces trimmed.
std::string CleanInfText(std::string_view raw);
// The key's cleaned text; empty when the file, section or key is missing.
std::string ReadInfValue(const std::string& path, std::string_view section, std::string_view key);

// The leading decimal number of the text (sign, digits, an optional fraction), rounded to
// the nearest integer with halves to even and held to the 32-bit range; 0 without one.
int32_t ParseLeadingNumber(std::string_view text);
int32_t ReadInfNumber(const std::string& path, std::string_view section, std::string_view key);

// Section letters of the link variants, in file order: variant k is kLinkLetters[k].
inline constexpr char kLinkLetters[] = {'S', 'P', 'U', 'N'};

// "COMMNumber" "Cnumber": how many variants the file describes (0 when missing).
int32_t VariantCount(const std::string& path);
// The "DeviceName" of variant k's main section ("SMAIN", "PMAIN", "UMAIN", "NMAIN").
std::string VariantDeviceName(const std::string& path, int k);
// The file's type name: the serial variant's device name without its last character.
std::string InfTypeName(const std::string& path);

}  // namespace confix
