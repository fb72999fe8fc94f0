// CheckHealth at its three levels, the test page, and DirectIO's two commands: printing an
// NV bitmap and writing printer command bytes as they are.
#include <array>
#include <cstdio>
#include <cstdlib>

#include "opos_codes.h"
#include "platform/ui_provider.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr int32_t kInternal = 1, kExternal = 2, kInteractive = 3;
constexpr int32_t kPrintNvBitmap = 111;
// pString holds printer command bytes (any values, zero bytes included) written unchanged,
// at once; the logo tool stores NV images with it (FS q). pData returns the count written.
constexpr int32_t kWriteRawBytes = 120;
constexpr size_t kMaxRawBytes = size_t{1} << 20;
constexpr int32_t kReceiptStation = 2;

// The same page for every printer model; the build gives the lines after the first.
constexpr std::string_view kTestPageHead = "\x1B@\nInteractive HCheck!!\n";

struct Justification {
  std::string_view name;
  char code;
};
constexpr std::array<Justification, 3> kJustifications = {
    {{"PTR_BM_LEFT", '0'}, {"PTR_BM_CENTER", '1'}, {"PTR_BM_RIGHT", '2'}}};
}  // namespace

void CPOSPrinter::PrintTestPage() {
  // Four writes whose results are not used.
  WriteBytes(kTestPageHead);
  for (std::string_view line : ThisBuild().test_page_lines) WriteBytes(line);
  ForgetBitmapDownloads();  // the page begins with ESC @
}

int32_t CPOSPrinter::RunHealthCheck(int32_t level) {
  if (const int32_t result = ResultForPortStatus(port_.GetPrinterStatus());
      result != opos::kSuccess) {
    return result;
  }
  if (level == kExternal) PrintTestPage();
  return opos::kSuccess;
}

int32_t CPOSPrinter::CheckHealth(int32_t level) {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  auto set_text = [this](const char* text) {
    std::lock_guard lock(text_mutex_);
    check_health_text_ = text;
  };
  switch (level) {
    case kInternal:
      set_text("Last check was internal.");
      return Finish(RunHealthCheck(level));
    case kExternal:
      set_text("Last check was external.");
      return Finish(RunHealthCheck(level));
    case kInteractive:
      break;
    default:
      return Finish(opos::kIllegal);
  }
  set_text("Last check was interactive.");
  // Closing the dialog without Start checked nothing and failed nothing.
  Finish(opos::kSuccess);
  platform::ui::HealthCheckDialog dialog;
  dialog.caption = "CheckHealth";
  dialog.text = "Please Push the [Start] button to start the CheckHealth Method.";
  dialog.on_start = [this] {
    result_code_extended_ = 0;
    const int status = port_.GetPrinterStatus();
    if (status == kPortReady) {
      PrintTestPage();
      Finish(opos::kSuccess);
      return;
    }
    if (status == kPortCoverOpen || status == kPortPaperEmpty) {
      result_code_extended_ = status;
      Finish(opos::kExtended);
    } else {
      Finish(status);
    }
    char text[64];
    std::snprintf(text, sizeof text, "POSPrinter can't use.\nResultCode : %d", result_code_.load());
    platform::ui::Current().MessageBox(text, "POSPrinter", platform::ui::kOk);
  };
  platform::ui::Current().RunHealthCheckDialog(dialog);
  return result_code_;
}

int32_t CPOSPrinter::PrintNvLogoAligned(int32_t image, const std::string& alignment) {
  if (!thermal_) return opos::kIllegal;
  // pString holds PTR_BM_RIGHT (-3) or PTR_BM_CENTER (-2); anything else prints left.
  const long value = std::strtol(alignment.c_str(), nullptr, 10);
  const char justification = value == -3 ? 2 : value == -2 ? 1 : 0;
  // ESC a n (justify), FS p k 0 (print NV bit image k, normal size).
  const char bytes[] = {0x1B, 0x61, justification, 0x1C, 0x70, static_cast<char>(image & 0xFF),
                        0x30};
  return SendData(kReceiptStation, {bytes, sizeof bytes}, false, BitmapReferences::kKeep);
}

int32_t CPOSPrinter::DirectIO(int32_t command, int32_t* data, std::string* text) {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  if (command == kWriteRawBytes) {
    if (!data || !text || text->size() > kMaxRawBytes) return Finish(opos::kIllegal);
    const std::string_view bytes = *text;
    int32_t result = opos::kSuccess;
    // Written now, after queued output, in pieces the send routine takes.
    for (size_t at = 0; at < bytes.size() && result == opos::kSuccess; at += kMaxSendBytes) {
      result = WriteDownloadNow(bytes.substr(at, kMaxSendBytes), ImageArea::kOverwritten);
    }
    // The bytes may have reset the printer or replaced its downloaded image.
    if (!bytes.empty()) ForgetBitmapDownloads();
    if (result == opos::kSuccess) *data = static_cast<int32_t>(bytes.size());
    return Finish(result);
  }
  if (command != kPrintNvBitmap) return Finish(opos::kSuccess);
  if (!data || !text) return Finish(opos::kIllegal);
  if (ThisBuild().nv_logo_by_alignment_number) return Finish(PrintNvLogoAligned(*data, *text));
  char justification = 0;
  for (const Justification& j : kJustifications) {
    if (*text == j.name) justification = j.code;
  }
  if (!justification) return Finish(opos::kIllegal);
  // ESC a n (justify), FS p k 0 (print NV bit image k, normal size), line feed.
  const char bytes[] = {0x1B, 0x61, justification, 0x1C, 0x70, static_cast<char>(*data & 0xFF),
                        0x30, 0x0A};
  return Finish(SendData(kReceiptStation, {bytes, sizeof bytes}, false, BitmapReferences::kKeep));
}

}  // namespace service_core
