// PrintBarCode: one GS k command built by print_data, handed to the send routine.
#include "opos_codes.h"
#include "pos_printer.h"
#include "print_data/barcode.h"

namespace service_core {

namespace {
constexpr int32_t kPropRotateSpecial = 8036;
}  // namespace

int32_t CPOSPrinter::PrintBarCode(int32_t station, const std::string& data, int32_t symbology,
                                  int32_t height, int32_t width, int32_t alignment,
                                  int32_t text_position) {
  result_code_extended_ = 0;
  if (!device_enabled_) return Finish(opos::kDisabled);
  print_data::BarcodeRequest request;
  request.station = station;
  request.data = data;
  request.symbology = symbology;
  request.height = height;
  request.width = width;
  request.alignment = alignment;
  request.text_position = text_position;
  request.kind = TranslateSettingsNow().kind;
  request.rotate_special = properties_.Number(kPropRotateSpecial);
  request.rec_line_width = properties_.Number(prop::kRecLineWidth);
  request.rec_line_chars = properties_.Number(prop::kRecLineChars);
  request.map_mode = properties_.Number(prop::kMapMode);
  request.binary_conversion = binary_conversion_;
  const print_data::Encoded command = print_data::BuildBarcodeCommand(request);
  if (!command.ok()) return Finish(command.result);
  // Barcode data is not print text: four bytes that look like a bitmap reference stay.
  return Finish(SendData(station, command.bytes, false, BitmapReferences::kKeep));
}

}  // namespace service_core
