#include "print_data/text_print.h"

#include <algorithm>

#include "print_data/binary_conversion.h"
#include "print_data/map_mode.h"

namespace print_data {

std::string_view ResetPrefix(int32_t rec_line_chars) {
  switch (rec_line_chars) {
    case 56:
      return "\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x47\x1D\x42\x30\x1B\x61\x30";
    case 33:
      return "\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x46\x1B\x72\x30\x1B\x61\x30";
    default:
      return "\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x46\x1D\x42\x30\x1B\x61\x30";
  }
}

uint8_t LineSpacingValue(int32_t rec_line_spacing, int32_t map_mode, PrinterKind kind) {
  const int64_t dots = ToDots(rec_line_spacing, map_mode);
  const int64_t value =
      kind == PrinterKind::kThermal
          ? 2 * dots
          : static_cast<int64_t>(static_cast<double>(dots) * 0.3000300030003 + 0.5) + 16;
  return static_cast<uint8_t>(std::clamp<int64_t>(value, 1, 255));
}

PrintNormalOutput PreparePrintNormal(const PrintNormalRequest& request,
                                     const EscapeTranslator& translator,
                                     const RotationState& rotation) {
  PrintNormalOutput output;
  Encoded decoded = DecodeBinaryConversion(request.data, request.binary_conversion);
  if (!decoded.ok()) {
    output.result = decoded.result;
    return output;
  }
  TranslateSettings settings = request.settings;
  settings.rotation_mode = rotation.mode();

  // Work on copies: the caller keeps them only once the bytes were accepted.
  output.translator = translator;
  std::string& bytes = output.bytes;
  const std::string_view prefix = ResetPrefix(settings.rec_line_chars);
  bytes.reserve(prefix.size() + 3 + decoded.bytes.size() + 16);
  bytes.append(prefix);
  if (!rotation.rotated()) {
    bytes.append("\x1B\x33");
    bytes.push_back(static_cast<char>(
        LineSpacingValue(request.rec_line_spacing, settings.map_mode, settings.kind)));
  }
  if (const int32_t result = output.translator.TranslateAppend(decoded.bytes, settings, bytes);
      result != kSuccess) {
    output.result = result;
    output.bytes.clear();
    return output;
  }
  output.rotation = rotation;
  if (rotation.rotated()) {
    output.rotation.RaiseScaleDepth(RotationState::ScaleDepthOf(decoded.bytes));
    if (const int32_t result = output.rotation.Collect(bytes, output.send); result != kSuccess) {
      output.result = result;
      output.bytes.clear();
      return output;
    }
  } else {
    output.send = true;
  }
  return output;
}

void CommitPrintNormal(PrintNormalOutput& output, EscapeTranslator& translator,
                       RotationState& rotation) {
  translator = output.translator;
  rotation = std::move(output.rotation);
}

PrintNormalOutput ComposePrintNormal(const PrintNormalRequest& request,
                                     EscapeTranslator& translator, RotationState& rotation) {
  PrintNormalOutput output = PreparePrintNormal(request, translator, rotation);
  if (output.result == kSuccess) CommitPrintNormal(output, translator, rotation);
  return output;
}

int32_t ValidatePrintData(std::string_view data, int32_t binary_conversion,
                          const TranslateSettings& settings, EscapeTranslator& translator) {
  Encoded decoded = DecodeBinaryConversion(data, binary_conversion);
  if (!decoded.ok()) return decoded.result;
  std::string discarded;
  return translator.TranslateAppend(decoded.bytes, settings, discarded);
}

}  // namespace print_data
