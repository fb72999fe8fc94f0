#include "till_rig.h"

#include <gtest/gtest.h>

namespace demotill::testing {

TillRig::TillRig(const std::string& model) {
  vdev::PrinterConfig config;
  const bool thermal = model.rfind("Thermal", 0) == 0;
  config.kind = thermal ? vdev::PrinterKind::Thermal : vdev::PrinterKind::DotMatrix;
  config.columns = thermal ? 42 : 33;
  device_ = &rig_.AddVirtualPrinter("ttyTill", config);
  vdev::RendererOptions options;
  options.paper = device_->printer.Geometry();
  renderer_ = std::make_unique<vdev::ReceiptRenderer>(options);
  device_->printer.SetPrintSink(renderer_.get());
  if (!model.empty())
    rig_.AddDeviceEntry("TillPrinter", device_->attachment.LinkPath(), model, "", "Unit1");
  ui_ = std::make_shared<platform::ui::ScriptedProvider>();
  ui_->beep_takes_duration = false;
  previous_ui_ = platform::ui::Install(ui_);
}

TillRig::~TillRig() {
  platform::ui::Install(previous_ui_);
  device_->printer.SetPrintSink(nullptr);
}

void TillRig::AddDrawer() {
  const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer";
  service_core::testing::PrinterRig::Import(
      "[" + path + "]\n\"Unit1\"=\"TillDrawer\"\n\n[" + path + "\\TillDrawer]\n" +
      "@=\"Standard.CashDrawer.SO\"\n\"Baudrate\"=dword:00000006\n\"BitLength\"=dword:00000008\n"
      "\"HandShake\"=dword:00000000\n\"Parity\"=dword:00000000\n\"Stop\"=dword:00000001\n"
      "\"XonXoff\"=dword:00000000\n\"Port\"=\"" +
      device_->attachment.LinkPath() +
      "\"\n"
      "\"ConnectorPinNo\"=dword:00000002\n\"OpenLevel\"=dword:00000001\n\"DeviceName\"="
      "\"StandardS\"\n");
}

StepSettings TillRig::Settings() const {
  StepSettings settings;
  settings.logo_path = SAMPLE_APP_DIR "/Logo.bmp";
  settings.clock = FixedTime;
  return settings;
}

std::vector<std::string> TillRig::Messages() const {
  std::vector<std::string> texts;
  for (const auto& call : ui_->Calls()) {
    if (call.kind == platform::ui::ScriptedProvider::Call::kMessageBox) texts.push_back(call.text);
  }
  return texts;
}

std::string TillRig::Received() const {
  const std::vector<uint8_t> capture = device_->printer.Capture();
  return std::string(capture.begin(), capture.end());
}

bool TillRig::WaitForMessages(size_t count) {
  return service_core::testing::PumpUntil([&] { return Messages().size() >= count; }, 10000);
}

std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 15;
  t.tm_min = 7;
  return t;
}

}  // namespace demotill::testing
