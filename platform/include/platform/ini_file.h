// Initialisation files with the private-profile rules: "[section]" lines, "key=value"
// lines and ";" comment lines. Section and key names are matched without regard to ASCII
// case; whitespace around names and values is ignored; the first matching section and key
// win. Values enclosed in a pair of matching quotes (" or ') are read without them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The longest value a read returns, like a 256-character buffer with its terminator.
inline constexpr size_t kMaxProfileValueLength = 255;

// The value, or `default_value` (trailing blanks removed) when the file, section or key
// is missing. An empty value ("key=") reads as empty, not as the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path);

// The leading integer of the value (decimal, or hexadecimal after 0x; optional sign;
// clamped to the int range). A value without a leading number gives 0; a missing one
// gives `default_value`.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int default_value,
                         const std::string& path);

// Sets key=value in the section, creating the file, the section or the key as needed and
// keeping every other line, comment and the file's line endings. std::nullopt deletes the
// key. The file is replaced atomically (temporary file and rename), so a reader sees the
// old or the new file, never a part. Returns false, leaving the file as it was, for names
// or values that cannot be stored (empty key, line breaks, "]" or "=" in names, a key or
// section starting with ";" or "[") and for file system errors.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value, const std::string& path);

// Removes the section with all its lines. True also when there was no such section.
bool DeletePrivateProfileSection(std::string_view section, const std::string& path);

}  // namespace platform
