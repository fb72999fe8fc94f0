// The answer paths, with the printer model answering: status queries come back to the host
// over each transport, and answers the printer volunteers (automatic status back after a
// state change made through a command) reach the connected host.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "test_support.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/usb_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace vdev {
namespace {

using testing::ConnectTcp;
using testing::ReadBytes;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteBytes;

const std::string kDleEot1("\x10\x04\x01", 3);

bool IsPrinterStatus(const std::string& answer) { return answer == "\x12" || answer == "\x16"; }

TEST(PrinterAnswersTest, StatusQueryOverPseudoTerminalAndLinesOfThePrinter) {
  TempDir dir;
  PrinterConfig config;
  config.link = PrinterLink::Serial;
  VirtualPrinter printer(config);
  PtyAttachment pty(printer, (dir.Path() / "ttyV0").string());
  std::string error, reply;
  ASSERT_TRUE(pty.Start(error)) << error;
  const int host = ::open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, kDleEot1));
  EXPECT_TRUE(IsPrinterStatus(ReadBytes(host, 1)));
  ASSERT_TRUE(pty.Command("power off", reply)) << reply;
  // The printer may report the change from the thread that is delivering its answers.
  EXPECT_TRUE(WaitFor([&] { return ReadFile(pty.LinesPath()).substr(0, 5) == "CTS=0"; }));
  ASSERT_TRUE(pty.Command("power on", reply)) << reply;
  EXPECT_TRUE(WaitFor([&] { return ReadFile(pty.LinesPath()).substr(0, 5) == "CTS=1"; }));
  ::close(host);
}

TEST(PrinterAnswersTest, StatusBackAfterACommandReachesTheTcpHost) {
  PrinterConfig config;
  config.link = PrinterLink::Network;
  VirtualPrinter printer(config);
  TcpAttachment tcp(printer, {"127.0.0.1", 0});
  std::string error, reply;
  ASSERT_TRUE(tcp.Start(error)) << error;
  const int host = ConnectTcp(tcp.Port());
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, kDleEot1));
  EXPECT_TRUE(IsPrinterStatus(ReadBytes(host, 1)));
  ASSERT_TRUE(WriteBytes(host, std::string("\x1D\x61\xFF", 3)));  // automatic status back on
  const std::string ready = ReadBytes(host, 4);
  ASSERT_EQ(ready.size(), 4u);
  ASSERT_TRUE(tcp.Command("cover open", reply)) << reply;
  const std::string cover = ReadBytes(host, 4);
  ASSERT_EQ(cover.size(), 4u);
  EXPECT_NE(cover, ready);
  ::close(host);
}

TEST(PrinterAnswersTest, StatusQueryOverTheFakeUsbNode) {
  TempDir root;
  PrinterConfig config;
  config.link = PrinterLink::Usb;
  VirtualPrinter printer(config);
  UsbOptions options;
  options.root = root.Path().string();
  UsbAttachment usb(printer, options);
  std::string error;
  ASSERT_TRUE(usb.Start(error)) << error;
  const int host = ::open(usb.NodePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, kDleEot1));
  EXPECT_TRUE(IsPrinterStatus(ReadBytes(host, 1)));
  ::close(host);
}

}  // namespace
}  // namespace vdev
