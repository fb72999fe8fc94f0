// The token a client presents: kept in a file only its user can read. A missing file is
// created with a new random token; an existing one is used as it is, so scripts and tests
// read the token from it.
#pragma once

#include <string>
#include <string_view>

namespace oposd {

// $XDG_STATE_HOME/opos/oposd.token when XDG_STATE_HOME is set, otherwise
// /var/lib/opos/oposd.token.
std::string DefaultTokenFile();

// Reads the token from `path` or creates the file (mode 0600, its folder 0700 when missing)
// with 32 random bytes in hexadecimal. False with `error` set when neither works or the
// file holds no token.
bool LoadOrCreateToken(const std::string& path, std::string& token, std::string& error);

// Compares in time independent of where the strings differ.
bool TokensEqual(std::string_view a, std::string_view b);

}  // namespace oposd
