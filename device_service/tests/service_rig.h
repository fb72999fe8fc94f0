// oposd as a user runs it, against the virtual printer (with its drawer) and the virtual line
// display on pseudo-terminals in this process: a temporary registry store with the entries
// "Receipt1" (printer), "Drawer1" (drawer) and "Display1", a token file, and the service
// started on a free loopback port with its log in a file.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support/temp_registry.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_display.h"
#include "virtual_devices/virtual_printer.h"

namespace oposd::testing {

class ServiceRig {
 public:
  // With `socket_activated`, the rig makes the listening socket itself and starts the
  // service as systemd's socket activation does (LISTEN_PID, LISTEN_FDS, the socket at fd 3).
  explicit ServiceRig(std::vector<std::string> extra_arguments = {},
                      bool socket_activated = false);
  ~ServiceRig();  // stops the service (SIGTERM) if it still runs, then the devices

  unsigned short Port() const { return port_; }  // where the service says it listens
  unsigned short ActivationPort() const { return activation_port_; }  // the rig's socket's
  const std::string& Token() const { return token_; }
  std::string Log() const;
  vdev::VirtualPrinter& printer() { return printer_; }
  vdev::VirtualDisplay& display() { return display_; }
  // A command to the virtual printer ("cover open", "paper out" ...); false on an error.
  bool PrinterCommand(const std::string& line);

  // Sends SIGTERM and waits (up to 20 s) for the exit; its status, or -1.
  int Terminate();

 private:
  test_support::TempRegistry registry_{"oposd-test"};
  vdev::VirtualPrinter printer_;
  vdev::VirtualDisplay display_;
  std::unique_ptr<vdev::PtyAttachment> printer_pty_, display_pty_;
  pid_t pid_ = -1;
  unsigned short port_ = 0;
  unsigned short activation_port_ = 0;
  std::string token_;
  std::string log_path_;
};

}  // namespace oposd::testing
