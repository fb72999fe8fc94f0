// Strings cross the protocol as bytes, because OPOS strings are bytes (print data with escape
// sequences, a code page's characters, DirectIO data): byte n is the character U+00nn. JSON
// text carries them as UTF-8, and no byte is ever lost or replaced.
#pragma once

#include <string>
#include <string_view>

namespace oposd {

// The UTF-8 text whose characters are the bytes.
std::string BytesToText(std::string_view bytes);

// The bytes of UTF-8 text (as a JSON parser delivers it); false when a character lies above
// U+00FF and so names no byte.
bool TextToBytes(std::string_view text, std::string& bytes);

}  // namespace oposd
