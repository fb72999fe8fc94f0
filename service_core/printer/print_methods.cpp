// The text print methods: PrintNormal, PrintImmediate, PrintTwoNormal, ValidateData,
// CutPaper, RotatePrint, SetLogo and the slip-station methods. The bytes come from
// print_data; every method ends in the send routine.
#include "opos_codes.h"
#include "pos_printer.h"
#include "print_data/text_print.h"

namespace service_core {

namespace {
constexpr int32_t kReceiptStation = 2;
constexpr int32_t kPropRecSidewaysMaxChars = 8022;
}  // namespace

print_data::TranslateSettings CPOSPrinter::TranslateSettingsNow() const {
  print_data::TranslateSettings settings;
  settings.kind = thermal_ ? print_data::PrinterKind::kThermal : print_data::PrinterKind::kDotMatrix;
  settings.rec_line_chars = properties_.Number(prop::kRecLineChars);
  settings.map_mode = properties_.Number(prop::kMapMode);
  settings.rec_lines_to_paper_cut = properties_.Number(prop::kRecLinesToPaperCut);
  settings.rotation_mode = rotation_.mode();
  return settings;
}

void CPOSPrinter::LeavePageMode() {
  if (!rotation_.rotated() && !page_mode_left_) return;
  rotation_.Reset();
  // ESC S: back to standard mode, the unprinted page is discarded.
  page_mode_left_ = !WriteBytes("\x1BS");
}

void CPOSPrinter::ResetPrintState() {
  rotation_.Reset();
  translator_.ResetLine();
  transaction_open_ = false;
}

int32_t CPOSPrinter::PrintText(int32_t station, const std::string& data) {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  print_data::PrintNormalRequest request;
  request.data = data;
  request.binary_conversion = binary_conversion_;
  request.rec_line_spacing = properties_.Number(prop::kRecLineSpacing);
  request.settings = logos_.WithLogos(TranslateSettingsNow());
  print_data::PrintNormalOutput output =
      print_data::PreparePrintNormal(request, translator_, rotation_);
  if (output.result != print_data::kSuccess) return Finish(output.result);
  // Rotated text without a line end waits for the rest of its line.
  const int32_t result =
      output.send ? SendData(station, output.bytes, false) : static_cast<int32_t>(opos::kSuccess);
  // Columns, held-back text and scale depth move on only with a call that succeeded.
  if (result == opos::kSuccess) print_data::CommitPrintNormal(output, translator_, rotation_);
  return Finish(result);
}

int32_t CPOSPrinter::PrintNormal(int32_t station, const std::string& data) {
  return PrintText(station, data);
}

// The printer has no separate immediate path: the data takes the same way as PrintNormal,
// into an open transaction or the asynchronous queue included.
int32_t CPOSPrinter::PrintImmediate(int32_t station, const std::string& data) {
  return PrintText(station, data);
}

int32_t CPOSPrinter::PrintTwoNormal(int32_t, const std::string&, const std::string&) {
  result_code_extended_ = 0;
  return Finish(opos::kIllegal);  // one station only
}

int32_t CPOSPrinter::ValidateData(int32_t /*station*/, const std::string& data) {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  return Finish(print_data::ValidatePrintData(data, binary_conversion_,
                                              logos_.WithLogos(TranslateSettingsNow()),
                                              translator_));
}

int32_t CPOSPrinter::CutPaper(int32_t /*percentage*/) {
  result_code_extended_ = 0;
  if (!device_enabled_) return Finish(opos::kDisabled);
  return Finish(SendData(kReceiptStation, print_data::kCutPaper, false));
}

int32_t CPOSPrinter::RotatePrint(int32_t station, int32_t rotation) {
  result_code_extended_ = 0;
  if (!device_enabled_) return Finish(opos::kDisabled);
  const print_data::Encoded encoded = rotation_.Rotate(
      station, rotation, TranslateSettingsNow().kind, !ThisBuild().rotate_on_any_model,
      properties_.Number(kPropRecSidewaysMaxChars), translator_);
  if (!encoded.ok()) return Finish(encoded.result);
  return Finish(SendData(kReceiptStation, encoded.bytes, false, BitmapReferences::kKeep));
}

int32_t CPOSPrinter::SetLogo(int32_t location, const std::string& data) {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  return Finish(logos_.SetLogo(location, data, TranslateSettingsNow()));
}

// No slip station: nothing can be inserted or removed.
int32_t CPOSPrinter::SlipMethod() {
  result_code_extended_ = 0;
  return Finish(claimed_ ? opos::kIllegal : opos::kNotClaimed);
}
int32_t CPOSPrinter::BeginInsertion(int32_t) { return SlipMethod(); }
int32_t CPOSPrinter::BeginRemoval(int32_t) { return SlipMethod(); }
int32_t CPOSPrinter::EndInsertion() { return SlipMethod(); }
int32_t CPOSPrinter::EndRemoval() { return SlipMethod(); }

}  // namespace service_core
