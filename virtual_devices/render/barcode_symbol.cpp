#include "virtual_devices/barcode_symbol.h"

#include <zint.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace vdev {
namespace {

enum System : uint8_t {
  kUpcA = 65,
  kUpcE = 66,
  kEan13 = 67,
  kEan8 = 68,
  kCode39 = 69,
  kItf = 70,
  kCodabar = 71,
  kCode93 = 72,
  kCode128 = 73,
};

uint8_t Normalise(uint8_t system) { return system <= 6 ? system + 65 : system; }

bool AllDigits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

int UpcCheckDigit(const std::string& eleven) {
  int sum = 0;
  for (size_t i = 0; i < eleven.size(); ++i) sum += (eleven[i] - '0') * (i % 2 == 0 ? 3 : 1);
  return (10 - sum % 10) % 10;
}

// UPC-A data (number system 0) compressed to the six digits of UPC-E, by the zero
// suppression rules; empty when the number has no UPC-E form.
std::string SuppressZeros(const std::string& upc_a) {
  const std::string m = upc_a.substr(1, 5), p = upc_a.substr(6, 5);
  if ((m.substr(2) == "000" || m.substr(2) == "100" || m.substr(2) == "200") &&
      p.substr(0, 2) == "00")
    return m.substr(0, 2) + p.substr(2) + m[2];
  if (m.substr(3) == "00" && p.substr(0, 3) == "000") return m.substr(0, 3) + p.substr(3) + "3";
  if (m[4] == '0' && p.substr(0, 4) == "0000") return m.substr(0, 4) + p[4] + "4";
  if (p.substr(0, 4) == "0000" && p[4] >= '5') return m + p[4];
  return {};
}

struct ZintInput {
  int symbology = 0;
  std::string text;  // what zint encodes
  std::string hri;   // empty: take zint's own human-readable text
  std::string error;
};

ZintInput Code128Input(const std::string& data) {
  ZintInput in{BARCODE_CODE128, {}, {}, {}};
  if (data.size() < 2 || data[0] != '{' || (data[1] != 'A' && data[1] != 'B' && data[1] != 'C')) {
    in.error = "CODE128 data must start with a code set selector {A, {B or {C";
    return in;
  }
  char set = 0;
  bool shifted = false;
  for (size_t i = 0; i < data.size(); ++i) {
    const unsigned char c = data[i];
    if (c == '{') {
      if (i + 1 >= data.size()) {
        in.error = "CODE128 data ends inside a selector";
        return in;
      }
      const char next = data[++i];
      if (next == 'A' || next == 'B' || next == 'C') {
        set = next;
        continue;
      }
      if (next == 'S' && set != 'C') {
        shifted = true;
        continue;
      }
      if (next >= '1' && next <= '4') continue;  // FNC1..FNC4 carry no characters
      if (next != '{' || set != 'B') {
        in.error = std::string("CODE128 selector {") + next + " is not valid here";
        return in;
      }
    }
    if (set == 'C') {
      if (c > 99) {
        in.error = "CODE128 code set C takes values 0 to 99";
        return in;
      }
      in.text += static_cast<char>('0' + c / 10);
      in.text += static_cast<char>('0' + c % 10);
      continue;
    }
    const char effective = shifted ? (set == 'A' ? 'B' : 'A') : set;
    shifted = false;
    if ((effective == 'A' && c > 0x5F) || (effective == 'B' && (c < 0x20 || c > 0x7F))) {
      in.error =
          std::string("CODE128 code set ") + effective + " has no character " + std::to_string(c);
      return in;
    }
    in.text += static_cast<char>(c);
  }
  for (char c : in.text) in.hri += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
  if (in.text.empty()) in.error = "CODE128 barcode without data";
  return in;
}

ZintInput ToZint(uint8_t system, const std::string& data) {
  ZintInput in;
  auto need_digits = [&](std::initializer_list<size_t> lengths, const char* what) {
    if (!AllDigits(data) || std::find(lengths.begin(), lengths.end(), data.size()) == lengths.end())
      in.error = std::string(what);
  };
  in.text = data;
  switch (system) {
    case kUpcA:
      in.symbology = BARCODE_UPCA;
      need_digits({11, 12}, "UPC-A takes 11 or 12 digits");
      break;
    case kUpcE:
      in.symbology = BARCODE_UPCE;
      need_digits({6, 7, 8, 11, 12}, "UPC-E takes 6, 7, 8, 11 or 12 digits");
      if (in.error.empty() && data.size() >= 11) {
        if (data[0] != '0') {
          in.error = "UPC-E from a UPC-A number needs number system 0";
        } else if (data.size() == 12 && data[11] - '0' != UpcCheckDigit(data.substr(0, 11))) {
          in.error = "UPC-E check digit does not match";
        } else {
          const std::string six = SuppressZeros(data);
          if (six.empty()) in.error = "this UPC-A number has no UPC-E form";
          in.text = "0" + six;
        }
      }
      break;
    case kEan13:
      in.symbology = BARCODE_EANX;
      need_digits({12, 13}, "EAN-13 takes 12 or 13 digits");
      break;
    case kEan8:
      in.symbology = BARCODE_EANX;
      need_digits({7, 8}, "EAN-8 takes 7 or 8 digits");
      break;
    case kCode39: {
      in.symbology = BARCODE_CODE39;
      if (in.text.size() >= 2 && in.text.front() == '*' && in.text.back() == '*')
        in.text = in.text.substr(1, in.text.size() - 2);  // start and stop sent with the data
      const bool valid = std::all_of(in.text.begin(), in.text.end(), [](unsigned char c) {
        return std::isdigit(c) || (c >= 'A' && c <= 'Z') ||
               std::string(" $%+-./").find(c) != std::string::npos;
      });
      if (!valid || in.text.empty()) in.error = "CODE39 takes 0-9, A-Z and space $ % + - . /";
      break;
    }
    case kItf:
      in.symbology = BARCODE_C25INTER;
      if (!AllDigits(data) || data.empty() || data.size() % 2 != 0)
        in.error = "ITF takes an even number of digits";
      break;
    case kCodabar:
      in.symbology = BARCODE_CODABAR;
      std::transform(in.text.begin(), in.text.end(), in.text.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
      break;
    case kCode93:
      in.symbology = BARCODE_CODE93;
      if (in.text.empty() ||
          std::any_of(in.text.begin(), in.text.end(), [](unsigned char c) { return c > 0x7F; }))
        in.error = "CODE93 takes 1 or more characters 0 to 127";
      break;
    case kCode128:
      return Code128Input(data);
    default:
      in.error = "unknown barcode system " + std::to_string(system);
  }
  return in;
}

struct SymbolDeleter {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

}  // namespace

std::string BarcodeSystemName(uint8_t system) {
  switch (Normalise(system)) {
    case kUpcA:
      return "UPC-A";
    case kUpcE:
      return "UPC-E";
    case kEan13:
      return "EAN13";
    case kEan8:
      return "EAN8";
    case kCode39:
      return "CODE39";
    case kItf:
      return "ITF";
    case kCodabar:
      return "CODABAR";
    case kCode93:
      return "CODE93";
    case kCode128:
      return "CODE128";
  }
  return "system " + std::to_string(system);
}

BarcodeSymbol EncodeBarcode(uint8_t system, const std::string& data) {
  BarcodeSymbol result;
  ZintInput in = ToZint(Normalise(system), data);
  if (!in.error.empty()) {
    result.error = in.error;
    return result;
  }
  std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
  if (!symbol) {
    result.error = "out of memory";
    return result;
  }
  symbol->symbology = in.symbology;
  symbol->input_mode = DATA_MODE;
  symbol->show_hrt = 0;
  symbol->scale = 0.5f;  // one pixel per module
  symbol->height = 4;
  symbol->whitespace_width = 0;
  symbol->border_width = 0;
  const int status = ZBarcode_Encode_and_Buffer(
      symbol.get(), reinterpret_cast<const unsigned char*>(in.text.data()),
      static_cast<int>(in.text.size()), 0);
  if (status >= ZINT_ERROR || symbol->bitmap == nullptr || symbol->bitmap_height <= 0) {
    result.error = symbol->errtxt[0] != '\0' ? symbol->errtxt : "barcode could not be encoded";
    return result;
  }
  // The top row of zint's picture crosses every bar, guard bars included.
  for (int x = 0; x < symbol->bitmap_width; ++x)
    result.modules.push_back(symbol->bitmap[x * 3] < 128);
  const auto first = std::find(result.modules.begin(), result.modules.end(), true);
  const auto last = std::find(result.modules.rbegin(), result.modules.rend(), true).base();
  if (first >= last) {
    result.error = "barcode could not be encoded";
    result.modules.clear();
    return result;
  }
  result.modules = std::vector<bool>(first, last);
  result.hri = !in.hri.empty() ? in.hri : reinterpret_cast<const char*>(symbol->text);
  return result;
}

}  // namespace vdev
