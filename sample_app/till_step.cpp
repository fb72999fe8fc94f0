#include "till_step.h"

#include <utility>

#include "platform/ui_provider.h"
#include "till_receipt.h"

namespace demotill {
namespace {

namespace ui = platform::ui;

constexpr int32_t kReceipt = 2;
constexpr int32_t kTransaction = 11, kNormal = 12;
constexpr int32_t kAsIsWidth = -11, kCentre = -2, kTextBelow = -13;
constexpr int32_t kCode39 = 108;
constexpr int32_t kCoverOpen = 11, kReceiptEmpty = 24;

constexpr StepInfo kSteps[kStepCount] = {
    {"frmStep1", "Step1. Transaction Print", "Transaction Print"},
    {"frmStep2", "Step2. Print Bitmap", "Print Bitmap"},
    {"frmStep3", "Step3. Print Barcode", "Print Barcode"},
    {"frmStep4", "Step4. Asynchronous Print", "Asynchronous Print"},
    {"frmStep5", "Step5. Open Cashdrawer", "Open Cashdrawer"},
};

void Message(const std::string& text, unsigned icon = 0) {
  ui::Current().MessageBox(text, kMessageCaption, ui::kOk | icon);
}

// Print data in a note: control bytes as \xHH, line ends as \r and \n.
std::string Readable(const std::string& data) {
  std::string out;
  for (unsigned char c : data) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

const StepInfo& InfoOf(int step) {
  return kSteps[(step >= 1 && step <= kStepCount ? step : 1) - 1];
}

TillStep::TillStep(int step, StepHost& host, StepSettings settings)
    : step_(step >= 1 && step <= kStepCount ? step : 1),
      host_(host),
      settings_(std::move(settings)) {
  if (step_ == 5) {
    drawer_ = opos::control::CashDrawer::Create();
  } else {
    printer_ = opos::control::POSPrinter::Create();
  }
}

TillStep::~TillStep() { Unload(); }

opos::control::ControlObject& TillStep::Device() {
  if (drawer_) return *drawer_;
  return *printer_;
}

void TillStep::SetButton(bool enabled) {
  button_enabled_ = enabled;
  host_.SetButtonEnabled(enabled);
}

int32_t TillStep::Noted(const std::string& call, int32_t result) {
  host_.Note(call + " -> " + std::to_string(result));
  return result;
}

std::tm TillStep::Now() const {
  if (settings_.clock) return settings_.clock();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

void TillStep::Load() {
  loaded_ = true;
  opos::control::ControlObject& device = Device();
  Noted("Open \"" + settings_.device_name + "\"", device.Open(settings_.device_name));
  if (device.ResultCode() != 0) {
    Message("Fails to open the device.");
    SetButton(false);
    return;
  }
  Noted("ClaimDevice 1000", device.ClaimDevice(1000));
  if (device.ResultCode() != 0) {
    Message("Fails to claim the device.");
    SetButton(false);
    Noted("Close", device.Close());
    return;
  }
  device.SetDeviceEnabled(true);
  Noted("DeviceEnabled = 1", device.ResultCode());
  if (step_ == 5 || step_ == 1) return;

  if (step_ == 4) {
    WatchPrinterEvents();
    printer_->SetAsyncMode(true);
    Noted("AsyncMode = 1", printer_->ResultCode());
  }
  printer_->SetRecLetterQuality(true);
  Noted("SetBitmap 1 2 \"" + settings_.logo_path + "\" -11 -2",
        printer_->SetBitmap(1, kReceipt, settings_.logo_path, kAsIsWidth, kCentre));
  if (step_ == 3 && !printer_->CapRecBitmap()) {
    host_.Note("CapRecBitmap = 0");
    SetButton(false);
  }
}

void TillStep::WatchPrinterEvents() {
  printer_->on_output_complete = [this](int32_t output_id) {
    host_.Note("event OutputComplete " + std::to_string(output_id));
    Message("Complete printing " + std::to_string(output_id), ui::kIconInformation);
  };
  printer_->on_error = [this](int32_t result, int32_t extended, int32_t locus, int32_t& response) {
    host_.Note("event Error " + std::to_string(result) + " " + std::to_string(extended) + " " +
               std::to_string(locus) + " -> " + std::to_string(response));
    Message("Printer Error.\r\n\r\nResultCode = " + std::to_string(result) +
                "\r\nResultCodeExtended = " + std::to_string(extended),
            ui::kIconInformation);
  };
  printer_->on_status_update = [this](int32_t data) {
    host_.Note("event StatusUpdate " + std::to_string(data));
    SetButton(data != kCoverOpen && data != kReceiptEmpty);
  };
}

void TillStep::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  opos::control::ControlObject& device = Device();
  device.SetDeviceEnabled(false);
  Noted("DeviceEnabled = 0", device.ResultCode());
  Noted("ReleaseDevice", device.ReleaseDevice());
  Noted("Close", device.Close());
  device.on_output_complete = nullptr;
  device.on_error = nullptr;
  device.on_status_update = nullptr;
}

void TillStep::Press() {
  switch (step_) {
    case 1:
    case 2:
      return PrintTransaction();
    case 3:
      return PrintBarcodeReceipt();
    case 4:
      return PrintAsynchronous();
    default:
      return OpenCashdrawer();
  }
}

void TillStep::PrintReceipt(bool with_logo_lead) {
  for (const std::string& data :
       ReceiptCalls(printer_->RecLineChars(), Now(), with_logo_lead ? "\r\n\r\n" : "")) {
    Noted("PrintNormal 2 \"" + Readable(data) + "\"", printer_->PrintNormal(kReceipt, data));
  }
}

void TillStep::PrintClosing() {
  const std::string closing(printer_->CapRecPapercut() ? kFeedAndCut : kFiveLineFeeds);
  Noted("PrintNormal 2 \"" + Readable(closing) + "\"", printer_->PrintNormal(kReceipt, closing));
}

void TillStep::CheckTransactionResult() {
  if (printer_->ResultCode() != 0) {
    Message("POS Printer can't use.");
    Noted("ClearOutput", printer_->ClearOutput());
  }
}

// Steps 1 and 2. The bitmap step puts the logo in front of the receipt: by reference in
// the wide layout, printed from the file in the narrow one.
void TillStep::PrintTransaction() {
  Noted("TransactionPrint 2 11", printer_->TransactionPrint(kReceipt, kTransaction));
  const int line_chars = printer_->RecLineChars();
  bool logo_lead = false;
  if (step_ == 2 && line_chars == kWideLayout) {
    Noted("PrintNormal 2 \"" + Readable(std::string(kLogoReference)) + "\"",
          printer_->PrintNormal(kReceipt, std::string(kLogoReference)));
  } else if (step_ == 2 && line_chars == kNarrowLayout) {
    printer_->SetRecLetterQuality(true);
    Noted("PrintBitmap 2 \"" + settings_.logo_path + "\" -11 -2",
          printer_->PrintBitmap(kReceipt, settings_.logo_path, kAsIsWidth, kCentre));
    logo_lead = true;
  }
  PrintReceipt(logo_lead);
  PrintClosing();
  Noted("TransactionPrint 2 12", printer_->TransactionPrint(kReceipt, kNormal));
  CheckTransactionResult();
}

void TillStep::PrintBarcodeReceipt() {
  Noted("TransactionPrint 2 11", printer_->TransactionPrint(kReceipt, kTransaction));
  Noted("PrintNormal 2 \"" + Readable(std::string(kLogoReference)) + "\"",
        printer_->PrintNormal(kReceipt, std::string(kLogoReference)));
  for (const std::string& data : ReceiptCalls(kWideLayout, Now())) {
    Noted("PrintNormal 2 \"" + Readable(data) + "\"", printer_->PrintNormal(kReceipt, data));
  }
  const int32_t width = printer_->RecLineWidth();
  Noted("PrintBarCode 2 \"012345678901\" 108 40 " + std::to_string(width) + " -2 -13",
        printer_->PrintBarCode(kReceipt, "012345678901", kCode39, 40, width, kCentre, kTextBelow));
  Noted("PrintNormal 2 \"\\x1B|fP\"", printer_->PrintNormal(kReceipt, std::string(kFeedAndCut)));
  Noted("TransactionPrint 2 12", printer_->TransactionPrint(kReceipt, kNormal));
  CheckTransactionResult();
}

void TillStep::PrintAsynchronous() {
  Noted("TransactionPrint 2 11", printer_->TransactionPrint(kReceipt, kTransaction));
  const int line_chars = printer_->RecLineChars();
  if (line_chars == kWideLayout) {
    Noted("PrintNormal 2 \"" + Readable(std::string(kLogoReference)) + "\"",
          printer_->PrintNormal(kReceipt, std::string(kLogoReference)));
    PrintReceipt(false);
    const int32_t width = printer_->RecLineWidth();
    Noted(
        "PrintBarCode 2 \"012345678901\" 108 40 " + std::to_string(width) + " -2 -13",
        printer_->PrintBarCode(kReceipt, "012345678901", kCode39, 40, width, kCentre, kTextBelow));
  } else if (line_chars == kNarrowLayout) {
    printer_->SetRecLetterQuality(true);
    Noted("PrintBitmap 2 \"" + settings_.logo_path + "\" -11 -2",
          printer_->PrintBitmap(kReceipt, settings_.logo_path, kAsIsWidth, kCentre));
    PrintReceipt(true);
  }
  PrintClosing();
  Noted("TransactionPrint 2 12", printer_->TransactionPrint(kReceipt, kNormal));
}

void TillStep::OpenCashdrawer() {
  host_.SetBusy(true);
  SetButton(false);
  Noted("OpenDrawer", drawer_->OpenDrawer());
  const bool opened = drawer_->DrawerOpened();
  host_.Note(std::string("DrawerOpened = ") + (opened ? "1" : "0"));
  if (opened) {
    Noted("WaitForDrawerClose 5000 1000 100 1000",
          drawer_->WaitForDrawerClose(5000, 1000, 100, 1000));
  }
  SetButton(true);
  host_.SetBusy(false);
}

}  // namespace demotill
