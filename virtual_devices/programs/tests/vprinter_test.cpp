// Runs the vprinter program and talks to it like a host and a person would: bytes over a
// real socket or pseudo-terminal, commands on standard input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../../attach/tests/test_support.h"
#include "child_process.h"

namespace vdev {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ConnectTcp;
using testing::ReadBytes;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteBytes;

const std::string kDleEot1("\x10\x04\x01", 3);
const std::string kDleEot2("\x10\x04\x02", 3);

int PortOf(const std::string& ready_line) {
  return std::stoi(ready_line.substr(ready_line.rfind(':') + 1));
}

uint8_t Ask(int fd, const std::string& query) {
  EXPECT_TRUE(WriteBytes(fd, query));
  const std::string answer = ReadBytes(fd, 1);
  EXPECT_EQ(answer.size(), 1u);
  return answer.empty() ? 0xFF : static_cast<uint8_t>(answer[0]);
}

bool IsPrinterStatus(uint8_t b) { return b == 0x12 || b == 0x16; }

// A command's answer: "ok" or "ok: <the device's state>".
bool IsOk(const std::optional<std::string>& line) { return line && line->rfind("ok", 0) == 0; }

TEST(VprinterProgramTest, TcpStatusAnswersFollowCommandsOnStandardInput) {
  ChildProcess vprinter({VPRINTER_PATH, "--tcp", "0"});
  const auto ready = vprinter.WaitForLine("listening ");
  ASSERT_TRUE(ready) << vprinter.StandardError();
  ASSERT_EQ(ready->rfind("listening tcp 127.0.0.1:", 0), 0u) << *ready;
  const int host = ConnectTcp(PortOf(*ready));
  ASSERT_GE(host, 0);

  const uint8_t closed = Ask(host, kDleEot1);
  EXPECT_TRUE(IsPrinterStatus(closed)) << int(closed);
  EXPECT_EQ(Ask(host, kDleEot2) & 0x04, 0);

  ASSERT_TRUE(vprinter.Send("drawer open"));
  EXPECT_TRUE(IsOk(vprinter.ReadLine()));
  const uint8_t open = Ask(host, kDleEot1);
  EXPECT_TRUE(IsPrinterStatus(open)) << int(open);
  EXPECT_NE(open, closed);
  ASSERT_TRUE(vprinter.Send("cover open"));
  EXPECT_TRUE(IsOk(vprinter.ReadLine()));
  EXPECT_EQ(Ask(host, kDleEot2) & 0x04, 0x04);

  ASSERT_TRUE(vprinter.Send("fly away"));
  const auto refused = vprinter.ReadLine();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->rfind("error: ", 0), 0u) << *refused;

  ASSERT_TRUE(vprinter.Send("disconnect"));
  EXPECT_TRUE(IsOk(vprinter.ReadLine()));
  char c;
  EXPECT_LE(::recv(host, &c, 1, 0), 0);  // the connection is gone
  ::close(host);

  ASSERT_TRUE(vprinter.Send("quit"));
  EXPECT_TRUE(IsOk(vprinter.ReadLine()));
  EXPECT_EQ(vprinter.Wait(), 0);
}

TEST(VprinterProgramTest, PseudoTerminalAnswersAndPublishesTheLines) {
  TempDir dir;
  const std::string link = (dir.Path() / "ttyV0").string();
  ChildProcess vprinter({VPRINTER_PATH, "--pty", link});
  const auto ready = vprinter.WaitForLine("listening ");
  ASSERT_TRUE(ready) << vprinter.StandardError();
  EXPECT_EQ(*ready, "listening pty " + link);
  const int host = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  EXPECT_TRUE(IsPrinterStatus(Ask(host, kDleEot1)));
  EXPECT_EQ(ReadFile(link + ".lines"), "CTS=1 DSR=1 DCD=1 RI=0\n");

  ASSERT_TRUE(vprinter.Send("power off"));
  EXPECT_TRUE(IsOk(vprinter.ReadLine()));
  EXPECT_TRUE(WaitFor([&] { return ReadFile(link + ".lines").rfind("CTS=0", 0) == 0; }));
  ASSERT_TRUE(WriteBytes(host, kDleEot1));
  EXPECT_EQ(ReadBytes(host, 1, std::chrono::milliseconds(300)), "");  // switched off: silent
  ::close(host);

  vprinter.CloseInput();  // end of input ends the program
  EXPECT_EQ(vprinter.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(link + ".lines"));
}

TEST(VprinterProgramTest, SignalClosesTheReceiptInProgress) {
  TempDir dir;
  const auto png_dir = dir.Path() / "png";
  const auto transcript = dir.Path() / "receipts.txt";
  ChildProcess vprinter(
      {VPRINTER_PATH, "--tcp", "0", "--png", png_dir.string(), "--text", transcript.string()});
  const auto ready = vprinter.WaitForLine("listening ");
  ASSERT_TRUE(ready) << vprinter.StandardError();
  const int host = ConnectTcp(PortOf(*ready));
  ASSERT_GE(host, 0);
  // Text with no cut; the status answer shows the printer has taken everything before it.
  ASSERT_TRUE(WriteBytes(host, std::string("\x1B@Hello till\n", 13)));
  EXPECT_TRUE(IsPrinterStatus(Ask(host, kDleEot1)));
  ::close(host);
  vprinter.Signal(SIGTERM);
  EXPECT_EQ(vprinter.Wait(), 0);
  EXPECT_NE(ReadFile(transcript).find("Hello till"), std::string::npos);
  ASSERT_TRUE(fs::exists(png_dir));
  int pngs = 0;
  for (const auto& entry : fs::directory_iterator(png_dir))
    pngs += entry.path().extension() == ".png";
  EXPECT_EQ(pngs, 1);
}

TEST(VprinterProgramTest, RenderFileOfflineAndStartupErrors) {
  TempDir dir;
  const auto bytes = dir.Path() / "sample.bin";
  std::ofstream(bytes, std::ios::binary) << std::string("\x1B@Sample receipt\n\x1DV\x01", 20);
  ChildProcess render(
      {VPRINTER_PATH, "--render-file", bytes.string(), "--png", (dir.Path() / "out").string()});
  EXPECT_EQ(render.ReadLine(), "rendered 1 receipt(s) from 20 byte(s)");
  EXPECT_EQ(render.Wait(), 0) << render.StandardError();
  EXPECT_FALSE(fs::is_empty(dir.Path() / "out"));

  ChildProcess version({VPRINTER_PATH, "--version"});
  EXPECT_EQ(version.ReadLine().value_or("").rfind("vprinter ", 0), 0u);
  EXPECT_EQ(version.Wait(), 0);

  ChildProcess usage({VPRINTER_PATH, "--tcp", "port"});
  EXPECT_EQ(usage.Wait(), 2);
  EXPECT_NE(usage.StandardError().find("usage:"), std::string::npos);

  ChildProcess first({VPRINTER_PATH, "--tcp", "0"});
  const auto ready = first.WaitForLine("listening ");
  ASSERT_TRUE(ready);
  ChildProcess second({VPRINTER_PATH, "--tcp", std::to_string(PortOf(*ready))});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_NE(second.StandardError().find("bind"), std::string::npos);
}

}  // namespace
}  // namespace vdev
