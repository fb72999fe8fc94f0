#include "access_policy.h"

#include <algorithm>
#include <cctype>

#include "token_file.h"

namespace oposd {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string QueryValue(std::string_view target, std::string_view name) {
  const auto question = target.find('?');
  if (question == std::string_view::npos) return {};
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    const auto amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    const auto equals = pair.find('=');
    if (pair.substr(0, equals) == name)
      return equals == std::string_view::npos ? "" : PercentDecode(pair.substr(equals + 1));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return {};
}

bool AccessPolicy::OriginAllowed(std::string_view origin) const {
  for (const auto& own : own_origins_)
    if (EqualsIgnoreCase(own, origin)) return true;
  for (const auto& allowed : allowed_origins_)
    if (EqualsIgnoreCase(allowed, origin)) return true;
  return false;
}

AccessDecision AccessPolicy::Check(std::string_view target, std::string_view authorization,
                                   std::string_view origin, bool has_origin) const {
  // A page of a foreign origin learns nothing, not even whether its token would be right.
  if (has_origin && !OriginAllowed(origin))
    return {403, "origin " + std::string(origin) + " is not allowed"};
  std::string presented = QueryValue(target, "token");
  constexpr std::string_view kBearer = "Bearer ";
  if (presented.empty() && authorization.size() > kBearer.size() &&
      EqualsIgnoreCase(authorization.substr(0, kBearer.size()), kBearer))
    presented = std::string(authorization.substr(kBearer.size()));
  if (presented.empty()) return {401, "no token"};
  if (!TokensEqual(presented, token_)) return {401, "wrong token"};
  return {};
}

}  // namespace oposd
