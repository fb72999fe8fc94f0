// A temporary registry with the network-build library registered, and virtual printers
// listening on loopback TCP with device entries naming their address and port.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control_objects/pos_printer.h"
#include "test_support/temp_registry.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core::testing {

struct NetworkPrinter {
  explicit NetworkPrinter(vdev::PrinterConfig config);
  vdev::VirtualPrinter printer;
  vdev::TcpAttachment attachment;
  void Set(const std::string& command);  // "cover open", "disconnect", "refuse on", ...
  // What the printer received from the byte at `from` on.
  std::string ReceivedSince(size_t from) const;
  size_t ReceivedCount() const { return printer.Capture().size(); }
};

class NetworkRig {
 public:
  NetworkRig();
  const std::string& Dir() const { return registry_.Dir(); }

  NetworkPrinter& AddVirtualPrinter(vdev::PrinterKind kind = vdev::PrinterKind::Thermal);
  // A device entry under `device_class` ("POSPrinter" or "CashDrawer") named `key`, with
  // `port_value` written as it stands into the REGEDIT4 text ("\"9100\"", "dword:0000238c",
  // or empty to leave Port out).
  static void AddEntry(const std::string& device_class, const std::string& key,
                       const std::string& ip, const std::string& port_value,
                       const std::string& model, const std::string& extra = "");
  static std::string PortText(int port) { return "\"" + std::to_string(port) + "\""; }

 private:
  test_support::TempRegistry registry_{"tandor-son"};
  std::vector<std::unique_ptr<NetworkPrinter>> printers_;
};

}  // namespace service_core::testing
