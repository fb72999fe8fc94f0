// The device tester's line syntax: words, integers (decimal or 0x hex) and double-quoted
// strings with the escapes \\ \" \n \r \t \xHH; and the quoting of strings it prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace opostest {

struct Token {
  enum Kind { Word, Integer, String } kind = Word;
  std::string text;    // the word, or the decoded string
  int32_t number = 0;  // Integer only
};

// Splits a line into tokens; false with `error` describing the first problem. A word that
// reads as an integer becomes an Integer token.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error);

// Decimal with an optional sign, or 0x followed by up to eight hex digits (values above
// 0x7FFFFFFF wrap to negative numbers, as a 32-bit register would hold them).
bool ParseInteger(std::string_view text, int32_t& value);

// "text" with \\ and \" escaped and every byte outside 0x20..0x7E as \xHH.
std::string Quote(std::string_view bytes);

}  // namespace opostest
