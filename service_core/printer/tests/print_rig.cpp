#include "print_rig.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/message_queue.h"

namespace service_core::testing {

using platform::automation::Variant;

namespace {
// Every completion request carries an identifier of its own; shown as "FFFF" here, so
// expected bytes can be written down.
std::string WithPlainIdentifiers(std::string bytes) {
  const std::string head = kCompletionRequest.substr(0, 7);
  for (size_t at = bytes.find(head); at != std::string::npos && at + 11 <= bytes.size();
       at = bytes.find(head, at + 1)) {
    bytes.replace(at + 7, 4, "FFFF");
  }
  return bytes;
}
}  // namespace

PrintRig::PrintRig(bool thermal) : thermal_(thermal) {
  vdev::PrinterConfig config;
  config.kind = thermal ? vdev::PrinterKind::Thermal : vdev::PrinterKind::DotMatrix;
  config.columns = thermal ? 42 : 33;
  device_ = &rig_.AddVirtualPrinter("ttyP0", config);
  vdev::RendererOptions options;
  options.paper = device_->printer.Geometry();
  renderer_ = std::make_unique<vdev::ReceiptRenderer>(options);
  device_->printer.SetPrintSink(renderer_.get());
  rig_.AddDeviceEntry("Receipt1", device_->attachment.LinkPath(),
                      thermal ? "Thermal42" : "DotMatrix33", "", "Unit1");
  printer_ = OpenPrinter("Unit1");
  EXPECT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(printer_->ResultCode(), 0);
}

PrintRig::~PrintRig() {
  printer_->Close();
  printer_ = {};
  device_->printer.SetPrintSink(nullptr);
}

int32_t PrintRig::Call(const std::string& name, std::initializer_list<Variant> args) {
  std::vector<Variant> copies(args);
  int32_t result = -1;
  EXPECT_EQ(printer_->CallMethod(name, copies, result), platform::automation::HResult{})
      << name;
  return result;
}

void PrintRig::Mark() { mark_ = device_->printer.Capture().size(); }

std::string PrintRig::Sent(size_t bytes) {
  std::vector<uint8_t> capture;
  auto arrived = [&] {
    capture = device_->printer.Capture();
    std::string_view fresh(reinterpret_cast<const char*>(capture.data()) + mark_,
                           capture.size() - mark_);
    if (!thermal_ && !fresh.empty() && fresh[0] == '\n') fresh.remove_prefix(1);
    return fresh.size() >= bytes;
  };
  PumpUntil(arrived, 5000);
  std::string fresh(capture.begin() + mark_, capture.end());
  if (!thermal_ && !fresh.empty() && fresh[0] == '\n') fresh.erase(0, 1);
  return WithPlainIdentifiers(fresh);
}

std::string PrintRig::SentEndingWith(const std::string& tail) {
  std::string fresh;
  PumpUntil([&] {
    const std::vector<uint8_t> capture = device_->printer.Capture();
    fresh = WithPlainIdentifiers(std::string(capture.begin() + mark_, capture.end()));
    return fresh.size() >= tail.size() && fresh.compare(fresh.size() - tail.size(), tail.size(), tail) == 0;
  });
  return fresh;
}

std::string PrintRig::PlainOutput(const std::string& text) const {
  return (thermal_ ? kResetPrefix42 + "\x1B\x33\x3C" : kResetPrefix33 + "\x1B\x33\x19") + text;
}

void PrintRig::ExpectNothingSentSinceMark() {
  const std::string marker = PlainOutput("-- marker --\n");
  EXPECT_EQ(printer_->PrintNormal(2, "-- marker --\n"), 0);
  EXPECT_EQ(Sent(marker.size()), marker);
}

void PrintRig::Wait(uint32_t ms) { platform::PumpMessages(ms); }

}  // namespace service_core::testing
