#include "usb_printer_finder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace service_core {
namespace fs = std::filesystem;
namespace {

std::string RootFrom(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  return value && *value ? value : fallback;
}

// A sysfs attribute holding four hexadecimal digits and a newline; -1 when unreadable.
long ReadHexAttribute(const fs::path& path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text.empty() || text.size() > 4) return -1;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 16);
  return *end == '\0' ? value : -1;
}

// A sysfs text attribute without its line end; empty when missing.
std::string ReadTextAttribute(const fs::path& path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r'))
    text.pop_back();
  return text;
}

bool SameDeviceFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino && sa.st_rdev == sb.st_rdev;
}

// The number of an "lpN" name, or -1.
long LpNumber(const std::string& name) {
  if (name.size() < 3 || name.compare(0, 2, "lp") != 0) return -1;
  if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  return std::strtol(name.c_str() + 2, nullptr, 10);
}

}  // namespace

std::string UsbSysfsRoot() { return RootFrom("OPOS_USB_SYSFS_ROOT", "/sys"); }
std::string UsbDevRoot() { return RootFrom("OPOS_USB_DEV_ROOT", "/dev"); }

std::vector<std::string> FindUsbPrinterNodes(uint16_t vendor, uint16_t product) {
  std::vector<std::string> nodes;
  for (auto& printer : FindUsbPrinters(vendor, product)) nodes.push_back(std::move(printer.node));
  return nodes;
}

bool ChoiceMatches(const UsbPrinterChoice& choice, const UsbPrinterNode& printer) {
  if (!choice.serial.empty() && choice.serial != printer.serial) return false;
  return choice.path.empty() || SameDeviceFile(choice.path, printer.node);
}

std::vector<UsbPrinterNode> FindUsbPrinters(uint16_t vendor, uint16_t product) {
  std::vector<std::pair<long, UsbPrinterNode>> found;
  std::error_code error;
  const fs::path class_dir = fs::path(UsbSysfsRoot()) / "class" / "usbmisc";
  for (const auto& entry : fs::directory_iterator(class_dir, error)) {
    const std::string name = entry.path().filename().string();
    const long number = LpNumber(name);
    if (number < 0) continue;
    // lpN/device is the printer interface; its parent directory is the USB device.
    const fs::path interface = fs::canonical(entry.path() / "device", error);
    if (error) continue;
    const fs::path device = interface.parent_path();
    if (ReadHexAttribute(device / "idVendor") != vendor ||
        ReadHexAttribute(device / "idProduct") != product) {
      continue;
    }
    found.emplace_back(number, UsbPrinterNode{(fs::path(UsbDevRoot()) / "usb" / name).string(),
                                              ReadTextAttribute(device / "serial")});
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<UsbPrinterNode> printers;
  for (auto& [number, printer] : found) printers.push_back(std::move(printer));
  return printers;
}

}  // namespace service_core
