#include "script_syntax.h"

#include <cctype>
#include <cstdio>

namespace opostest {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads a quoted string starting at line[pos] == '"'; leaves pos after the closing quote.
bool ReadString(std::string_view line, size_t& pos, std::string& out, std::string& error) {
  ++pos;
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= line.size()) break;
    char e = line[pos++];
    switch (e) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        int high = pos < line.size() ? HexDigit(line[pos]) : -1;
        int low = pos + 1 < line.size() ? HexDigit(line[pos + 1]) : -1;
        if (high < 0 || low < 0) {
          error = "\\x needs two hex digits";
          return false;
        }
        out += static_cast<char>(high * 16 + low);
        pos += 2;
        break;
      }
      default:
        error = std::string("unknown escape \\") + e;
        return false;
    }
  }
  error = "unterminated string";
  return false;
}

}  // namespace

bool ParseInteger(std::string_view text, int32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::string_view digits = text.substr(2);
    if (digits.size() > 8) return false;
    uint32_t number = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value = static_cast<int32_t>(number);
    return true;
  }
  size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos >= text.size()) return false;
  int64_t number = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return false;
    number = number * 10 + (text[pos] - '0');
    if (number > 2147483648LL) return false;
  }
  if (negative) number = -number;
  if (number > INT32_MAX || number < INT32_MIN) return false;
  value = static_cast<int32_t>(number);
  return true;
}

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
  tokens.clear();
  size_t pos = 0;
  while (true) {
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    if (pos >= line.size()) return true;
    Token token;
    if (line[pos] == '"') {
      token.kind = Token::String;
      if (!ReadString(line, pos, token.text, error)) return false;
      if (pos < line.size() && !IsSpace(line[pos])) {
        error = "text after a closing quote";
        return false;
      }
    } else {
      size_t start = pos;
      while (pos < line.size() && !IsSpace(line[pos])) {
        if (line[pos] == '"') {
          error = "quote inside a word";
          return false;
        }
        ++pos;
      }
      token.text = std::string(line.substr(start, pos - start));
      char first = token.text[0];
      if ((first >= '0' && first <= '9') || first == '-' || first == '+') {
        if (!ParseInteger(token.text, token.number)) {
          error = "bad integer " + token.text;
          return false;
        }
        token.kind = Token::Integer;
      }
    }
    tokens.push_back(std::move(token));
  }
}

std::string Quote(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    unsigned char b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b > 0x7E) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

}  // namespace opostest
