// Character tables selected with ESC t: the byte a host sends to the Unicode character
// the printer draws for it.
#pragma once

#include <cstdint>
#include <string>

namespace vdev {

constexpr int kCodePagePc437 = 0;
constexpr int kCodePagePc850 = 2;
constexpr int kCodePagePc860 = 3;
constexpr int kCodePagePc863 = 4;
constexpr int kCodePagePc865 = 5;
constexpr int kCodePageWpc1252 = 16;
constexpr int kCodePagePc858 = 19;
constexpr int kCodePageUserDefined = 255;  // upper half blank: nothing is defined in it

// Control bytes and bytes a table leaves undefined give U+FFFD. Tables this model does not
// know print as PC437.
char32_t CodePageToUnicode(int code_page, uint8_t byte);
bool CodePageKnown(int code_page);

// The bytes as UTF-8 text, for the transcript.
std::string DecodeToUtf8(int code_page, const std::string& bytes);
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace vdev
