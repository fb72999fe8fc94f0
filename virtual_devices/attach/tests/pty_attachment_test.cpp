#include "virtual_devices/pty_attachment.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "virtual_devices/virtual_display.h"

namespace vdev {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteBytes;

std::string TopRow(const VirtualDisplay& display) { return display.Screen()[0]; }

TEST(PtyAttachmentTest, HostBytesReachTheModelAndTheLinkPointsAtTheSlave) {
  TempDir dir;
  VirtualDisplay display;
  const std::string link = (dir.Path() / "ttyV0").string();
  PtyAttachment pty(display, link);
  std::string error;
  ASSERT_TRUE(pty.Start(error)) << error;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), pty.SlavePath());
  EXPECT_EQ(pty.Where(), "pty " + link);

  const int host = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host,
                         "\x0C"
                         "HELLO\r\n"));
  EXPECT_TRUE(WaitFor([&] { return TopRow(display).rfind("HELLO", 0) == 0; }));
  ::close(host);

  // The host closed its end; a new open still reaches the model (the master never hung up).
  const int again = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(again, 0);
  ASSERT_TRUE(WriteBytes(again,
                         "\x0C"
                         "AGAIN"));
  EXPECT_TRUE(WaitFor([&] { return TopRow(display).rfind("AGAIN", 0) == 0; }));
  ::close(again);

  pty.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_FALSE(std::filesystem::exists(pty.LinesPath()));
  pty.Stop();  // twice is harmless
}

TEST(PtyAttachmentTest, TerminalSettingsPersistBetweenOpens) {
  TempDir dir;
  VirtualDisplay display;
  PtyAttachment pty(display, (dir.Path() / "ttyV0").string());
  std::string error;
  ASSERT_TRUE(pty.Start(error)) << error;
  int fd = ::open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios settings{};
  ASSERT_EQ(::tcgetattr(fd, &settings), 0);
  EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u);  // raw from the start
  ::cfsetspeed(&settings, B19200);
  settings.c_cflag |= CSTOPB;
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &settings), 0);
  ::close(fd);
  fd = ::open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::tcgetattr(fd, &settings), 0);
  EXPECT_EQ(::cfgetospeed(&settings), speed_t{B19200});
  EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
  ::close(fd);
}

TEST(PtyAttachmentTest, LinesSideFileFollowsTheModelAndTheCable) {
  TempDir dir;
  VirtualDisplay display;
  PtyAttachment pty(display, (dir.Path() / "ttyV0").string());
  std::string error, reply;
  ASSERT_TRUE(pty.Start(error)) << error;
  const auto lines = [&] { return ReadFile(pty.LinesPath()); };
  EXPECT_EQ(lines(), "CTS=1 DSR=1 DCD=1 RI=0\n");
  ASSERT_TRUE(pty.Command("dsr off", reply)) << reply;  // forwarded to the display
  EXPECT_EQ(lines(), "CTS=1 DSR=0 DCD=1 RI=0\n");
  ASSERT_TRUE(pty.Command("power off", reply)) << reply;
  EXPECT_EQ(lines(), "CTS=0 DSR=0 DCD=0 RI=0\n");
  ASSERT_TRUE(pty.Command("power on", reply));
  ASSERT_TRUE(pty.Command("dsr on", reply));
  EXPECT_EQ(lines(), "CTS=1 DSR=1 DCD=1 RI=0\n");

  // Cable pulled: all lines read 0 and the host's bytes are lost; plugged back: both return.
  ASSERT_TRUE(pty.Command("disconnect", reply));
  EXPECT_EQ(lines(), "CTS=0 DSR=0 DCD=0 RI=0\n");
  const int host = ::open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, "LOST"));
  ASSERT_TRUE(WaitFor([&] { return pty.LostBytes() == 4; }));
  ASSERT_TRUE(pty.Command("connect", reply));
  EXPECT_EQ(lines(), "CTS=1 DSR=1 DCD=1 RI=0\n");
  ASSERT_TRUE(WriteBytes(host, "KEPT"));
  ASSERT_TRUE(WaitFor([&] { return display.Capture().size() >= 4; }));
  const auto capture = display.Capture();
  EXPECT_EQ(std::string(capture.begin(), capture.end()), "KEPT");
  // The side file never lingers in a half-written state and leaves no temporary files.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2);
  ::close(host);

  EXPECT_FALSE(pty.Command("refuse on", reply));
  EXPECT_FALSE(pty.Command("no such thing", reply));
}

TEST(PtyAttachmentTest, RefusesToReplaceAFileThatIsNotALink) {
  TempDir dir;
  VirtualDisplay display;
  const auto path = dir.Path() / "ttyV0";
  std::ofstream(path) << "precious";
  PtyAttachment pty(display, path.string());
  std::string error;
  EXPECT_FALSE(pty.Start(error));
  EXPECT_NE(error.find("not a symbolic link"), std::string::npos);
  EXPECT_EQ(ReadFile(path), "precious");
  PtyAttachment nowhere(display, (dir.Path() / "missing" / "ttyV0").string());
  EXPECT_FALSE(nowhere.Start(error));
}

TEST(PtyAttachmentTest, SlowLineDeliversByteByByteAndStopsPromptly) {
  TempDir dir;
  VirtualDisplay display;
  PtyAttachment pty(display, (dir.Path() / "ttyV0").string());
  std::string error, reply;
  ASSERT_TRUE(pty.Start(error)) << error;
  EXPECT_FALSE(pty.Command("slow fast", reply));
  EXPECT_FALSE(pty.Command("slow -5", reply));
  ASSERT_TRUE(pty.Command("slow 2000", reply));
  const int host = ::open(pty.LinkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, "ABC"));
  // Three bytes at two seconds each cannot all have arrived yet.
  EXPECT_LT(display.Capture().size(), 3u);
  ASSERT_TRUE(pty.Command("slow 0", reply));  // the pause in progress ends at once
  EXPECT_TRUE(WaitFor([&] { return display.Capture().size() == 3; }));
  ASSERT_TRUE(pty.Command("slow 5000", reply));
  ASSERT_TRUE(WriteBytes(host, "DEF"));
  ::close(host);
  ASSERT_TRUE(WaitFor([&] { return display.Capture().size() == 3; }));
  const auto before = std::chrono::steady_clock::now();
  pty.Stop();  // in the middle of a five-second pause: must not wait it out
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(4500));
}

}  // namespace
}  // namespace vdev
