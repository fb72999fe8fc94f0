#include "print_data/barcode.h"

#include <algorithm>
#include <array>

#include "print_data/binary_conversion.h"
#include "print_data/map_mode.h"

namespace print_data {
namespace {

enum Symbology : int32_t {
  kUpcA = 101,
  kUpcE = 102,
  kEan8 = 103,
  kEan13 = 104,
  kItf = 106,
  kCodabar = 107,
  kCode39 = 108,
  kCode93 = 109,
  kCode128 = 110,
};

// GS k barcode system; 0 for a symbology this printer does not print.
char BarcodeSystem(int32_t symbology) {
  switch (symbology) {
    case kUpcA:
      return 0x41;
    case kUpcE:
      return 0x42;
    case kEan8:
      return 0x44;
    case kEan13:
      return 0x43;
    case kItf:
      return 0x46;
    case kCodabar:
      return 0x47;
    case kCode39:
      return 0x45;
    case kCode93:
      return 0x48;
    case kCode128:
      return 0x49;
    default:
      return 0;
  }
}

// Module width tables of the fixed-length symbologies: the smallest requested width (dots)
// at which k = 3, 4, 5, 6 is chosen (k = 2 below the first).
using Thresholds = std::array<int64_t, 4>;
constexpr Thresholds kTableA = {285, 380, 475, INT64_MAX};  // UPC-A, EAN-13
constexpr Thresholds kTableB = {67, 155, 206, 257};         // UPC-E
constexpr Thresholds kTableC = {201, 268, 335, 402};        // EAN-8

int TableModuleWidth(const Thresholds& table, int32_t width_dots) {
  int k = 2;
  for (int64_t threshold : table) {
    if (width_dots >= threshold) ++k;
  }
  return k;
}

// Barcode width in dots per counted character for module widths 2..6.
const std::array<double, 5>* BestFitFactors(int32_t symbology) {
  static constexpr std::array<double, 5> kCode39Factors = {30.118, 46.545, 64, 85.333, 102.4};
  static constexpr std::array<double, 5> kItfFactors = {18.286, 28.444, 36.571, 51.2, 64};
  static constexpr std::array<double, 5> kCodabarFactors = {23.273, 36.571, 46.545, 56.889, 73.143};
  static constexpr std::array<double, 5> kCode93Factors = {21.333, 34.133, 46.545, 64, 85.333};
  static constexpr std::array<double, 5> kCode128Factors = {25.6, 42.667, 64, 85.333, 128};
  switch (symbology) {
    case kCode39:
      return &kCode39Factors;
    case kItf:
      return &kItfFactors;
    case kCodabar:
      return &kCodabarFactors;
    case kCode93:
      return &kCode93Factors;
    case kCode128:
      return &kCode128Factors;
    default:
      return nullptr;
  }
}

size_t CountOccurrences(std::string_view text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++count;
  }
  return count;
}

bool LengthIn(size_t length, size_t a, size_t b) { return length == a || length == b; }

bool AllIn(std::string_view data, std::string_view allowed) {
  return std::all_of(data.begin(), data.end(),
                     [&](char ch) { return allowed.find(ch) != std::string_view::npos; });
}

bool SevenBit(std::string_view data) {
  return std::all_of(data.begin(), data.end(),
                     [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

constexpr std::string_view kDigits = "0123456789";

// Whether the printer can draw these characters in this symbology; data it cannot encode
// would be skipped by the printer while the call reported success.
bool Encodable(int32_t symbology, std::string_view data) {
  if (data.empty()) return false;
  switch (symbology) {
    case kUpcA:
    case kUpcE:
    case kEan8:
    case kEan13:
    case kItf:
      return AllIn(data, kDigits);
    case kCode39: {
      // Upper-case letters, digits and space $ % + - . /; the start and stop character "*"
      // may be given around them.
      if (data.size() >= 2 && data.front() == '*' && data.back() == '*') {
        data = data.substr(1, data.size() - 2);
      }
      return !data.empty() && AllIn(data, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%+-./");
    }
    case kCodabar: {
      // Digits and - $ : / . + between a start and a stop character A to D.
      constexpr std::string_view kStartStop = "ABCDabcd";
      return data.size() >= 2 && kStartStop.find(data.front()) != std::string_view::npos &&
             kStartStop.find(data.back()) != std::string_view::npos &&
             AllIn(data.substr(1, data.size() - 2), "0123456789-$:/.+");
    }
    case kCode93:
    case kCode128:
      return SevenBit(data);
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> PrepareCode128(std::string_view data) {
  std::string prepared;
  size_t selectors = 0;
  if (data.find("{A") == std::string_view::npos) {
    prepared = "{A";
    selectors = 1;
  }
  prepared.append(data);
  selectors += CountOccurrences(prepared, "{A") + CountOccurrences(prepared, "{S");
  if (prepared.size() > selectors && prepared.size() - selectors > 19) return std::nullopt;
  return prepared;
}

int BestFitModuleWidth(int32_t symbology, size_t counted, int32_t width_dots) {
  const auto* factors = BestFitFactors(symbology);
  if (factors == nullptr) return 0;
  int best = 0;
  int64_t least_room = 0;
  for (int k = 2; k <= 6; ++k) {
    const auto barcode_width = static_cast<int64_t>(
        static_cast<double>(counted) * (*factors)[static_cast<size_t>(k - 2)] + 0.5);
    const int64_t room = static_cast<int64_t>(width_dots) - barcode_width;
    if (room >= 0 && (best == 0 || room < least_room)) {
      best = k;
      least_room = room;
    }
  }
  return best;
}

Encoded BuildBarcodeCommand(const BarcodeRequest& request) {
  if (request.station != kStationReceipt || request.kind != PrinterKind::kThermal ||
      request.rotate_special != 1 || request.width > request.rec_line_width) {
    return Encoded::Refuse(kIllegal);
  }
  Encoded decoded = DecodeBinaryConversion(request.data, request.binary_conversion);
  if (!decoded.ok()) return Encoded::Refuse(decoded.result);
  std::string data = std::move(decoded.bytes);

  const char system = BarcodeSystem(request.symbology);
  if (system == 0) return Encoded::Refuse(kIllegal);
  const int32_t width_dots = ToDots(request.width, request.map_mode);

  if (!Encodable(request.symbology, data)) return Encoded::Refuse(kIllegal);
  const size_t length = data.size();
  int module = 0;
  switch (request.symbology) {
    case kUpcA:
      if (LengthIn(length, 11, 12)) module = TableModuleWidth(kTableA, width_dots);
      break;
    case kUpcE:
      if (LengthIn(length, 11, 12) && data[0] == '0') {
        module = TableModuleWidth(kTableB, width_dots);
      }
      break;
    case kEan8:
      if (LengthIn(length, 7, 8)) module = TableModuleWidth(kTableC, width_dots);
      break;
    case kEan13:
      if (LengthIn(length, 12, 13)) module = TableModuleWidth(kTableA, width_dots);
      break;
    case kItf:
      if (length <= 28 && length % 2 == 0) {
        module = BestFitModuleWidth(request.symbology, length, width_dots);
      }
      break;
    case kCodabar:
      if (length <= 22) module = BestFitModuleWidth(request.symbology, length, width_dots);
      break;
    case kCode93:
      if (length <= 22) module = BestFitModuleWidth(request.symbology, length + 2, width_dots);
      break;
    case kCode39:
      if (length <= 15) module = BestFitModuleWidth(request.symbology, length + 2, width_dots);
      break;
    case kCode128:
      if (auto prepared = PrepareCode128(data); prepared && prepared->size() <= 255) {
        data = std::move(*prepared);
        module = BestFitModuleWidth(request.symbology, data.size(), width_dots);
      }
      break;
  }
  if (module == 0) return Encoded::Refuse(kIllegal);

  char hri_position;
  switch (request.text_position) {
    case -11:
      hri_position = '0';
      break;
    case -12:
      hri_position = '1';
      break;
    case -13:
      hri_position = '2';
      break;
    default:
      return Encoded::Refuse(kIllegal);
  }
  const char alignment = request.alignment == -1 ? '0' : request.alignment == -3 ? '2' : '1';
  const auto height = static_cast<char>(
      std::clamp<int64_t>(ToDots(request.height, request.map_mode) + 1LL, 1, 255));

  Encoded encoded;
  std::string& out = encoded.bytes;
  out.reserve(18 + data.size());
  out.append(request.rec_line_chars == 56 ? "\x1D\x66\x31" : "\x1D\x66\x30");
  out.append({0x1D, 'w', static_cast<char>(module)});
  out.append({0x1D, 'h', height});
  out.append({0x1B, 'a', alignment});
  out.append({0x1D, 'H', hri_position});
  out.append({0x1D, 'k', system, static_cast<char>(data.size())});
  out.append(data);
  return encoded;
}

}  // namespace print_data
