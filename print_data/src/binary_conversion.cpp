#include "print_data/binary_conversion.h"

#include <cstring>

namespace print_data {
namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The C library's ASCII-to-integer reading of one three-character group.
int DecimalGroup(const char* group) {
  int i = 0;
  while (i < 3 && IsCSpace(group[i])) ++i;
  bool negative = false;
  if (i < 3 && (group[i] == '+' || group[i] == '-')) {
    negative = group[i] == '-';
    ++i;
  }
  int value = 0;
  for (; i < 3 && group[i] >= '0' && group[i] <= '9'; ++i) value = value * 10 + (group[i] - '0');
  return negative ? -value : value;
}

Encoded Finish(std::string&& decoded) {
  if (const size_t zero = decoded.find('\0'); zero != std::string::npos) decoded.resize(zero);
  if (decoded.size() > kMaxPrintData) return Encoded::Refuse(kIllegal);
  return Encoded{kSuccess, 0, std::move(decoded)};
}

}  // namespace

Encoded DecodeBinaryConversion(std::string_view data, int32_t binary_conversion) {
  if (const size_t zero = data.find('\0'); zero != std::string_view::npos) {
    data = data.substr(0, zero);
  }
  std::string decoded;
  if (binary_conversion == kBinaryConversionNibble) {
    if (data.size() % 2 != 0) return Encoded::Refuse(kIllegal);
    decoded.resize(data.size() / 2);
    for (size_t i = 0; i < decoded.size(); ++i) {
      const auto high = static_cast<unsigned char>(data[2 * i]);
      const auto low = static_cast<unsigned char>(data[2 * i + 1]);
      decoded[i] = static_cast<char>(((high << 4) + (low & 0x0F)) & 0xFF);
    }
  } else if (binary_conversion == kBinaryConversionDecimal) {
    if (data.size() % 3 != 0) return Encoded::Refuse(kIllegal);
    decoded.resize(data.size() / 3);
    for (size_t i = 0; i < decoded.size(); ++i) {
      char group[3];
      std::memcpy(group, data.data() + 3 * i, 3);
      for (char& c : group) {
        if (c == '^') c = '0';
      }
      decoded[i] = static_cast<char>(DecimalGroup(group) & 0xFF);
    }
  } else {
    decoded.assign(data);
  }
  return Finish(std::move(decoded));
}

}  // namespace print_data
