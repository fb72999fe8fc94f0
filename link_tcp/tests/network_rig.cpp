#include "network_rig.h"

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace service_core::testing {

namespace reg = platform::registry;

NetworkPrinter::NetworkPrinter(vdev::PrinterConfig config)
    : printer(config), attachment(printer, {"127.0.0.1", 0}) {}

void NetworkPrinter::Set(const std::string& command) {
  std::string reply;
  EXPECT_TRUE(attachment.Command(command, reply)) << command << ": " << reply;
}

std::string NetworkPrinter::ReceivedSince(size_t from) const {
  const std::vector<uint8_t> all = printer.Capture();
  return from < all.size() ? std::string(all.begin() + from, all.end()) : std::string();
}

NetworkRig::NetworkRig() { EXPECT_TRUE(test_support::RegisterServerLibrary(PRINTER_SON_PATH)); }

NetworkPrinter& NetworkRig::AddVirtualPrinter(vdev::PrinterKind kind) {
  vdev::PrinterConfig config;
  config.kind = kind;
  config.link = vdev::PrinterLink::Network;
  printers_.push_back(std::make_unique<NetworkPrinter>(config));
  std::string error;
  EXPECT_TRUE(printers_.back()->attachment.Start(error)) << error;
  return *printers_.back();
}

void NetworkRig::AddEntry(const std::string& device_class, const std::string& key,
                          const std::string& ip, const std::string& port_value,
                          const std::string& model, const std::string& extra) {
  const std::string prog_id = device_class == "POSPrinter" ? "RecPrinter.POSPrinter.SON"
                                                           : "Standard.CashDrawer.SON";
  std::string body = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\" +
                     device_class + "\\" + key + "]\n@=\"" + prog_id + "\"\n";
  if (!ip.empty()) body += "\"IP\"=\"" + ip + "\"\n";
  if (!port_value.empty()) body += "\"Port\"=" + port_value + "\n";
  body += "\"DeviceName\"=\"" + model + "\"\n" + extra;
  std::string error;
  ASSERT_EQ(reg::ImportRegedit(body, &error), reg::kSuccess) << error;
}

}  // namespace service_core::testing
