#include "virtual_devices/usb_attachment.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "display_capture.h"
#include "test_support.h"

namespace vdev {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteBytes;

std::string Trimmed(const fs::path& path) {
  std::string s = ReadFile(path);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Finds the printer node the way a USB link does: every usbmisc lp entry whose USB device
// (the parent of its interface) carries the vendor and product numbers.
std::string FindPrinterNode(const fs::path& sysfs, const fs::path& dev, const std::string& vendor,
                            const std::string& product) {
  const fs::path classes = sysfs / "class" / "usbmisc";
  if (!fs::exists(classes)) return "";
  for (const auto& entry : fs::directory_iterator(classes)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("lp", 0) != 0) continue;
    const fs::path usb_device = fs::canonical(entry.path() / "device").parent_path();
    if (Trimmed(usb_device / "idVendor") == vendor && Trimmed(usb_device / "idProduct") == product)
      return (dev / "usb" / name).string();
  }
  return "";
}

TEST(UsbAttachmentTest, PrinterIsFoundByVendorAndProductAndCarriesBytes) {
  TempDir root;
  VirtualDisplay printer, other_device;
  UsbOptions options;
  options.root = root.Path().string();
  UsbAttachment usb(printer, options);
  UsbOptions other_options = options;
  other_options.index = 1;
  other_options.vendor = 0x04b8;
  UsbAttachment other(other_device, other_options);
  std::string error;
  ASSERT_TRUE(other.Start(error)) << error;
  ASSERT_TRUE(usb.Start(error)) << error;
  EXPECT_NE(usb.Where().find("OPOS_USB_SYSFS_ROOT=" + usb.SysfsRoot()), std::string::npos);

  const std::string node = FindPrinterNode(usb.SysfsRoot(), usb.DevRoot(), "0525", "a700");
  ASSERT_EQ(node, usb.NodePath());
  EXPECT_EQ(Trimmed(fs::path(usb.DeviceDirectory()) / "manufacturer"), "Tandor");
  EXPECT_EQ(Trimmed(fs::path(usb.DeviceDirectory()) / "1-1:1.0" / "bInterfaceClass"), "07");
  EXPECT_EQ(FindPrinterNode(usb.SysfsRoot(), usb.DevRoot(), "0525", "ffff"), "");

  const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteBytes(fd, "\x1B@ticket"));
  EXPECT_TRUE(WaitFor([&] { return Received(printer) == "\x1B@ticket"; }));
  EXPECT_EQ(Received(other_device), "");
  ::close(fd);
}

TEST(UsbAttachmentTest, UnplugBreaksTheOpenNodeAndReplugBringsANewOne) {
  TempDir root;
  VirtualDisplay printer;
  UsbOptions options;
  options.root = root.Path().string();
  UsbAttachment usb(printer, options);
  std::string error, reply;
  ASSERT_TRUE(usb.Start(error)) << error;
  const int fd = ::open(usb.NodePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  // What the host wrote before the plug was pulled reached the device, all of it.
  const std::string written(3000, 'w');
  ASSERT_TRUE(WriteBytes(fd, written));

  ASSERT_TRUE(usb.Command("disconnect", reply)) << reply;
  EXPECT_EQ(Received(printer), written);
  EXPECT_FALSE(usb.Plugged());
  EXPECT_FALSE(fs::exists(fs::symlink_status(usb.NodePath())));
  EXPECT_EQ(FindPrinterNode(usb.SysfsRoot(), usb.DevRoot(), "0525", "a700"), "");
  EXPECT_LT(::write(fd, "x", 1), 0);  // the host's descriptor fails like an unplugged device
  ::close(fd);

  ASSERT_TRUE(usb.Command("connect", reply)) << reply;
  const std::string node = FindPrinterNode(usb.SysfsRoot(), usb.DevRoot(), "0525", "a700");
  ASSERT_EQ(node, usb.NodePath());
  const int again = ::open(node.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(again, 0);
  ASSERT_TRUE(WriteBytes(again, "back"));
  EXPECT_TRUE(WaitFor([&] { return Received(printer) == written + "back"; }));
  EXPECT_FALSE(usb.Command("refuse on", reply));
  ASSERT_TRUE(usb.Command("slow 1", reply)) << reply;
  EXPECT_FALSE(usb.Command("slow x", reply));
  ::close(again);

  usb.Stop();
  EXPECT_FALSE(fs::exists(usb.DeviceDirectory()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(usb.NodePath())));
}

// Unplugged while a slowed-down printer is still taking a batch, with more written after
// it: the device has every byte the host's writes returned for, once and in order.
TEST(UsbAttachmentTest, UnplugInSlowModeKeepsEveryByteInOrder) {
  TempDir root;
  VirtualDisplay printer;
  UsbOptions options;
  options.root = root.Path().string();
  UsbAttachment usb(printer, options);
  std::string error, reply;
  ASSERT_TRUE(usb.Start(error)) << error;
  ASSERT_TRUE(usb.Command("slow 5", reply)) << reply;
  const int fd = ::open(usb.NodePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  std::string first, second;
  for (int i = 0; i < 200; ++i) first += static_cast<char>('A' + i % 26);
  for (int i = 0; i < 200; ++i) second += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(WriteBytes(fd, first));
  // The first batch is being taken byte by byte; the second waits behind it.
  ASSERT_TRUE(WaitFor([&] { return Received(printer).size() >= 5; }));
  ASSERT_TRUE(WriteBytes(fd, second));
  ASSERT_LT(Received(printer).size(), first.size());

  ASSERT_TRUE(usb.Command("disconnect", reply)) << reply;
  EXPECT_EQ(Received(printer), first + second);
  ::close(fd);
}

// Unplugged while the host is still writing more than the device takes at once (its line
// paced, so the node's buffer is full): the device has exactly what the host's writes
// returned for, and the host's next write fails.
TEST(UsbAttachmentTest, UnplugCutsOffAHostStillWriting) {
  TempDir root;
  VirtualDisplay printer;
  UsbOptions options;
  options.root = root.Path().string();
  UsbAttachment usb(printer, options);
  std::string error, reply;
  ASSERT_TRUE(usb.Start(error)) << error;
  ASSERT_TRUE(usb.Command("baud 115200", reply)) << reply;
  const int fd = ::open(usb.NodePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  std::string data;
  for (int i = 0; data.size() < 200000; ++i) data += std::to_string(i) + ",";
  std::atomic<size_t> taken{0};
  std::thread host([&] {
    for (size_t done = 0; done < data.size();) {
      const ssize_t n = ::write(fd, data.data() + done, std::min<size_t>(64, data.size() - done));
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      taken = done;
    }
  });
  ASSERT_TRUE(WaitFor([&] { return Received(printer).size() >= 2000; }));
  ASSERT_TRUE(usb.Command("disconnect", reply)) << reply;
  host.join();
  ::close(fd);
  ASSERT_LT(taken.load(), data.size());
  EXPECT_EQ(Received(printer), data.substr(0, taken));
}

TEST(UsbAttachmentTest, MissingRootIsReported) {
  VirtualDisplay printer;
  UsbAttachment usb(printer, UsbOptions{});
  std::string error;
  EXPECT_FALSE(usb.Start(error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vdev
