// The printer service object behind its control object, against the virtual thermal printer
// on a pseudo-terminal (serial build) or on loopback TCP (network build), for the timed
// benchmark programs. Every wait is bounded: a benchmark
// that loses a byte or an event stops with a message instead of hanging.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "control_objects/pos_printer.h"
#include "platform/class_factory.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
  std::exit(1);
}

// Stops the benchmark unless a call succeeded.
inline void Check(int32_t result, const char* call) {
  if (result != 0) Fail(std::string(call) + " returned " + std::to_string(result));
}

// Pumps this thread's messages until `done` or `limit_ms`; a time-out ends the benchmark.
inline void PumpUntil(const std::function<bool()>& done, const char* what, int limit_ms = 20000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (Clock::now() > deadline) Fail(std::string("timed out waiting for ") + what);
    platform::PumpMessages(1);
  }
}

// Milliseconds `bytes` take on a serial line at `baud` (10 bits a byte).
inline double WireMs(size_t bytes, int baud) { return bytes * 10000.0 / baud; }

enum class Link { Serial, Tcp };

inline vdev::PrinterConfig DeviceConfig(Link link) {
  vdev::PrinterConfig config;
  if (link == Link::Tcp) config.link = vdev::PrinterLink::Network;
  return config;
}

class Rig {
 public:
  // Serial: `baud` is the pace at which the virtual printer reads, a line of that many bits a
  // second (0: as fast as the pseudo-terminal delivers); the device entry asks for 9600 baud.
  // TCP: the printer listens on a free loopback port and reads as fast as bytes come.
  explicit Rig(int baud, Link link = Link::Serial) : link_(link), device_(DeviceConfig(link)) {
    dir_ = (std::filesystem::temp_directory_path() / "printer-bench-XXXXXX").string();
    if (!mkdtemp(dir_.data())) Fail("no temporary directory");
    std::string error, reply;
    if (link == Link::Serial) {
      auto pty = std::make_unique<vdev::PtyAttachment>(device_, dir_ + "/ttyP0");
      if (!pty->Start(error)) Fail(error);
      if (!pty->Command("baud " + std::to_string(baud), reply)) Fail(reply);
      port_value_ = "\"" + pty->LinkPath() + "\"";
      attachment_ = std::move(pty);
    } else {
      vdev::TcpOptions options;
      options.port = 0;
      auto tcp = std::make_unique<vdev::TcpAttachment>(device_, options);
      if (!tcp->Start(error)) Fail(error);
      port_value_ = "\"" + std::to_string(tcp->Port()) + "\"\n\"IP\"=\"127.0.0.1\"";
      attachment_ = std::move(tcp);
    }
    Register();
    printer_ = opos::control::POSPrinter::Create();
    Check(printer_->Open("Receipt1"), "Open");
    Check(printer_->ClaimDevice(1000), "ClaimDevice");
    printer_->SetDeviceEnabled(true);
    Check(printer_->ResultCode(), "DeviceEnabled");
    platform::PumpMessages(1500);  // the first status reports
  }
  ~Rig() {
    printer_->Close();
    attachment_->Stop();
    std::filesystem::remove_all(dir_);
  }
  opos::control::POSPrinter& printer() { return *printer_; }
  vdev::VirtualPrinter& device() { return device_; }
  size_t Received() const { return device_.Capture().size(); }
  // Waits (without pumping) until the printer received `size` bytes; the moment it had.
  Clock::time_point WaitForBytes(size_t size) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Received() < size) {
      if (Clock::now() > deadline) Fail("bytes never reached the printer");
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return Clock::now();
  }

 private:
  void Register() {
    platform::registry::UseDatabase(dir_ + "/registry.db");
    void* library =
        dlopen(link_ == Link::Serial ? PRINTER_SO_PATH : PRINTER_SON_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) Fail("cannot load the service object");
    auto register_server = reinterpret_cast<platform::automation::RegisterServerFn>(
        dlsym(library, platform::automation::kRegisterServerExport));
    const bool registered = register_server && register_server() == 0;
    dlclose(library);
    if (!registered) Fail("cannot register the service object");
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\Receipt1";
    const std::string prog_id =
        link_ == Link::Serial ? "RecPrinter.POSPrinter.SO" : "RecPrinter.POSPrinter.SON";
    const std::string entry = "REGEDIT4\n\n[" + key + "]\n@=\"" + prog_id +
                              "\"\n\"Baudrate\"=dword:00000006\n"
                              "\"BitLength\"=dword:00000008\n\"HandShake\"=dword:00000000\n"
                              "\"Parity\"=dword:00000000\n\"Stop\"=dword:00000001\n"
                              "\"XonXoff\"=dword:00000000\n\"Port\"=" + port_value_ +
                              "\n\"DeviceName\"=\"Thermal42\"\n";
    if (platform::registry::ImportRegedit(entry) != platform::registry::kSuccess)
      Fail("cannot write the device entry");
  }

  Link link_;
  std::string dir_;
  std::string port_value_;  // the entry's Port value (and the address for TCP)
  vdev::VirtualPrinter device_;
  std::unique_ptr<vdev::Attachment> attachment_;
  opos::control::ObjectRef<opos::control::POSPrinter> printer_;
};

}  // namespace bench
