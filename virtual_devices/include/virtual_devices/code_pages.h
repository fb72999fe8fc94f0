// Character tables selected with ESC t: the byte a host sends to the Unicode character
// the printer draws for it.
#pragma once

#include <cstdint>
#include <string>

namespace vdev {

constexpr int kCodePagePc437 = 0;
constexpr int kCodePageWpc1252 = 16;

// Control bytes and bytes a table leaves undefined give U+FFFD. Tables other than
// PC437 and WPC1252 print as PC437.
char32_t CodePageToUnicode(int code_page, uint8_t byte);
bool CodePageKnown(int code_page);

// The bytes as UTF-8 text, for the transcript.
std::string DecodeToUtf8(int code_page, const std::string& bytes);
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace vdev
