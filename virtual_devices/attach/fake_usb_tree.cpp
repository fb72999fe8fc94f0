#include "fake_usb_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace vdev {
namespace fs = std::filesystem;
namespace {

constexpr const char* kHostController = "devices/pci0000:00/0000:00:14.0/usb1";
constexpr int kUsbPrinterMajor = 180;

std::string Port(const UsbOptions& o) { return "1-" + std::to_string(o.index + 1); }
std::string Lp(const UsbOptions& o) { return "lp" + std::to_string(o.index); }

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

void WriteAttribute(const fs::path& path, const std::string& value) {
  std::ofstream out(path);
  out << value << "\n";
  if (!out) throw fs::filesystem_error("cannot write", path, std::error_code());
}

}  // namespace

std::string FakeUsbDeviceDirectory(const UsbOptions& options) {
  return options.root + "/sys/" + kHostController + "/" + Port(options);
}

bool CreateFakeUsbTree(const UsbOptions& o, std::string& error) {
  try {
    const fs::path sys = fs::path(o.root) / "sys";
    const fs::path device = FakeUsbDeviceDirectory(o);
    const fs::path interface = device / (Port(o) + ":1.0");
    const fs::path lp = interface / "usbmisc" / Lp(o);
    fs::create_directories(lp);
    fs::create_directories(sys / "class" / "usbmisc");
    fs::create_directories(sys / "bus" / "usb" / "devices");
    fs::create_directories(fs::path(o.root) / "dev" / "usb");
    WriteAttribute(device / "idVendor", Hex4(o.vendor));
    WriteAttribute(device / "idProduct", Hex4(o.product));
    WriteAttribute(device / "manufacturer", o.manufacturer);
    WriteAttribute(device / "product", o.product_name);
    WriteAttribute(device / "serial", o.serial);
    WriteAttribute(device / "busnum", "1");
    WriteAttribute(device / "devnum", std::to_string(o.index + 2));
    WriteAttribute(device / "uevent", "DEVTYPE=usb_device\nPRODUCT=" + Hex4(o.vendor) + "/" +
                                          Hex4(o.product) + "/100");
    WriteAttribute(interface / "bInterfaceClass", "07");
    WriteAttribute(interface / "bInterfaceSubClass", "01");
    WriteAttribute(interface / "bInterfaceProtocol", "02");
    WriteAttribute(lp / "dev", std::to_string(kUsbPrinterMajor) + ":" + std::to_string(o.index));
    WriteAttribute(lp / "uevent", "MAJOR=" + std::to_string(kUsbPrinterMajor) + "\nMINOR=" +
                                      std::to_string(o.index) + "\nDEVNAME=usb/" + Lp(o));
    auto relink = [](const fs::path& target, const fs::path& link) {
      fs::remove(link);
      fs::create_directory_symlink(target, link);
    };
    relink(fs::path("../../..") / (Port(o) + ":1.0"), lp / "device");
    relink(fs::path("../..") / kHostController / Port(o) / (Port(o) + ":1.0") / "usbmisc" / Lp(o),
           sys / "class" / "usbmisc" / Lp(o));
    relink(fs::path("../../..") / kHostController / Port(o),
           sys / "bus" / "usb" / "devices" / Port(o));
    return true;
  } catch (const std::exception& e) {
    error = std::string("fake USB tree under ") + o.root + ": " + e.what();
    return false;
  }
}

void RemoveFakeUsbTree(const UsbOptions& o) {
  std::error_code ignored;
  const fs::path sys = fs::path(o.root) / "sys";
  fs::remove(sys / "class" / "usbmisc" / Lp(o), ignored);
  fs::remove(sys / "bus" / "usb" / "devices" / Port(o), ignored);
  fs::remove_all(FakeUsbDeviceDirectory(o), ignored);
}

}  // namespace vdev
