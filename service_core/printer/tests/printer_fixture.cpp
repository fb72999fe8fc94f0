#include "printer_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/registry.h"

namespace service_core::testing {

namespace reg = platform::registry;

std::string PrinterLibrary() { return PRINTER_SO_PATH; }

VirtualPrinterOnPty::VirtualPrinterOnPty(const std::string& link_path, vdev::PrinterConfig config)
    : printer(config), attachment(printer, link_path) {}

void VirtualPrinterOnPty::Set(const std::string& command) {
  std::string reply;
  EXPECT_TRUE(attachment.Command(command, reply)) << command << ": " << reply;
}

PrinterRig::PrinterRig() {
  EXPECT_TRUE(test_support::RegisterServerLibrary(PRINTER_SO_PATH));
}

PrinterRig::~PrinterRig() { printers_.clear(); }

VirtualPrinterOnPty& PrinterRig::AddVirtualPrinter(const std::string& name,
                                                   vdev::PrinterConfig config) {
  printers_.push_back(std::make_unique<VirtualPrinterOnPty>(Dir() + "/" + name, config));
  std::string error;
  EXPECT_TRUE(printers_.back()->attachment.Start(error)) << error;
  return *printers_.back();
}

void PrinterRig::Import(const std::string& regedit_body) {
  std::string error;
  ASSERT_EQ(reg::ImportRegedit("REGEDIT4\n\n" + regedit_body, &error), reg::kSuccess) << error;
}

void PrinterRig::AddDeviceEntry(const std::string& key, const std::string& port,
                                const std::string& model, const std::string& omit,
                                const std::string& logical, int baud_code) {
  const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter";
  std::string body = "[" + path + "\\" + key + "]\n@=\"RecPrinter.POSPrinter.SO\"\n";
  auto dword = [&](const std::string& name, int value) {
    if (name == omit) return;
    char text[16];
    snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    body += "\"" + name + "\"=dword:" + text + "\n";
  };
  auto string = [&](const std::string& name, const std::string& value) {
    if (name != omit) body += "\"" + name + "\"=\"" + value + "\"\n";
  };
  dword("Baudrate", baud_code);
  dword("BitLength", 8);
  dword("HandShake", 0);
  dword("Parity", 0);
  dword("Stop", 1);
  dword("XonXoff", 0);
  string("Port", port);
  string("DeviceName", model);
  if (!logical.empty()) body += "\n[" + path + "]\n\"" + logical + "\"=\"" + key + "\"\n";
  Import(body);
}

void PrintedLines::Print(const vdev::PrintOp& op) {
  const auto* line = std::get_if<vdev::TextLine>(&op);
  if (!line) return;
  std::string text;
  for (const vdev::TextRun& run : line->runs) text += run.bytes;
  std::lock_guard lock(mutex_);
  ++printed_[text];
}

int PrintedLines::Count(const std::string& text) const {
  std::lock_guard lock(mutex_);
  auto it = printed_.find(text);
  return it == printed_.end() ? 0 : it->second;
}

int PrintedLines::Total() const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& [text, count] : printed_) n += count;
  return n;
}

namespace {
constexpr int kLongReceiptLinesPerPart = 500;
}

std::string LongReceiptLine(int number) {
  char text[48];
  std::snprintf(text, sizeof text, "Long receipt line %04d ----------------", number);
  return text;
}

int32_t PrintLongReceipt(opos::control::POSPrinter& printer, int parts) {
  EXPECT_EQ(printer.TransactionPrint(2, 11), 0);
  for (int part = 0; part < parts; ++part) {
    std::string data;
    for (int i = 1; i <= kLongReceiptLinesPerPart; ++i)
      data += LongReceiptLine(part * kLongReceiptLinesPerPart + i) + "\n";
    EXPECT_EQ(printer.PrintNormal(2, data), 0);
  }
  return printer.TransactionPrint(2, 12);
}

int LinesNotPrintedOnce(const PrintedLines& paper, int parts, std::string& report) {
  int wrong = 0;
  for (int number = 1; number <= parts * kLongReceiptLinesPerPart; ++number) {
    const int count = paper.Count(LongReceiptLine(number));
    if (count != 1 && ++wrong <= 5)
      report += LongReceiptLine(number) + " printed " + std::to_string(count) + " times\n";
  }
  return wrong;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

bool PumpUntil(const std::function<bool()>& done, uint32_t limit_ms) {
  const uint64_t deadline = platform::TickCountMs() + limit_ms;
  while (!done()) {
    if (platform::TickCountMs() > deadline) return false;
    platform::PumpMessages(10);
  }
  return true;
}

opos::control::ObjectRef<opos::control::POSPrinter> OpenPrinter(const std::string& name) {
  auto printer = opos::control::POSPrinter::Create();
  EXPECT_EQ(printer->Open(name), 0);
  return printer;
}


}  // namespace service_core::testing
