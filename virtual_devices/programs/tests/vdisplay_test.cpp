#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "../../attach/tests/test_support.h"
#include "child_process.h"

namespace vdev {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteBytes;

TEST(VdisplayProgramTest, ScreenFilesAndDsrFollowTheHostAndTheCommands) {
  TempDir dir;
  const std::string link = (dir.Path() / "ttyD0").string();
  const auto screen = dir.Path() / "screen.txt";
  ChildProcess vdisplay({VDISPLAY_PATH, "--pty", link, "--text", screen.string(), "--png",
                         (dir.Path() / "png").string()});
  const auto ready = vdisplay.WaitForLine("listening ");
  ASSERT_TRUE(ready) << vdisplay.StandardError();
  EXPECT_EQ(*ready, "listening pty " + link);

  const int host = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  // What the display driver sends at claim, then one redraw of 40 characters.
  ASSERT_TRUE(WriteBytes(host, std::string("\x1B=\x02\x1B@\x0B\x1B%\x01\x1F"
                                           "E\x00",
                                           12) +
                                   "WELCOME             " + "TOTAL          12.50"));
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFile(screen).find("|TOTAL          12.50|") != std::string::npos; }));
  ASSERT_TRUE(vdisplay.Send("show"));
  const auto shown = vdisplay.ReadLine();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->rfind("ok: +---", 0), 0u) << *shown;
  EXPECT_EQ(vdisplay.ReadLine(), "|WELCOME             |");

  ASSERT_TRUE(vdisplay.Send("dsr off"));
  EXPECT_TRUE(vdisplay.WaitForLine("ok"));
  EXPECT_EQ(ReadFile(link + ".lines"), "CTS=1 DSR=0 DCD=1 RI=0\n");
  ::close(host);

  vdisplay.CloseInput();
  EXPECT_EQ(vdisplay.Wait(), 0) << vdisplay.StandardError();
  const auto png = dir.Path() / "png" / "display.png";
  ASSERT_TRUE(fs::exists(png));
  EXPECT_EQ(ReadFile(png).substr(1, 3), "PNG");
}

}  // namespace
}  // namespace vdev
