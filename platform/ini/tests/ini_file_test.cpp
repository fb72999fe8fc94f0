#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ini-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/settings.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Get(const char* section, const char* key) {
    return GetPrivateProfileString(section, key, "<default>", path_);
  }

  std::string dir_;
  std::string path_;
};

TEST_F(IniFileTest, ReadsValuesWithProfileRules) {
  WriteFile(
      "Orphan=before any section\n"
      "; comment line\n"
      "[SMAIN]\n"
      "  DeviceName =  ThermalS  \n"
      "Port=\"COM2\" ; kept: only whole lines are comments\n"
      "Quoted=\"COM1\"\n"
      "Single='x'\n"
      "Empty=\n"
      "Equation=a=b\n"
      ";Hidden=1\n"
      "DeviceName=second wins never\n"
      "[ smain ]\n"
      "Extra=from a duplicate section\n"
      "[Other]\n"
      "Long=" +
      std::string(300, 'x') + "\n");

  EXPECT_EQ(Get("smain", "DEVICENAME"), "ThermalS");
  EXPECT_EQ(Get("SMAIN", "Port"), "\"COM2\" ; kept: only whole lines are comments");
  EXPECT_EQ(Get("SMAIN", "Quoted"), "COM1");
  EXPECT_EQ(Get("SMAIN", "Single"), "x");
  EXPECT_EQ(Get("SMAIN", "Empty"), "");
  EXPECT_EQ(Get("SMAIN", "Equation"), "a=b");
  EXPECT_EQ(Get("SMAIN", "Hidden"), "<default>");
  EXPECT_EQ(Get("SMAIN", "Extra"), "<default>");  // the first matching section wins
  EXPECT_EQ(Get("SMAIN", "Orphan"), "<default>");
  EXPECT_EQ(Get("Missing", "DeviceName"), "<default>");
  EXPECT_EQ(Get("Other", "Long"), std::string(255, 'x'));
  EXPECT_EQ(GetPrivateProfileString("Other", "None", "dflt   ", path_), "dflt");
  EXPECT_EQ(GetPrivateProfileString("Other", "None", std::string(300, 'd'), path_).size(), 255u);
  EXPECT_EQ(GetPrivateProfileString("SMAIN", "DeviceName", "none", dir_ + "/absent.ini"), "none");
  EXPECT_EQ(GetPrivateProfileString("SMAIN", "DeviceName", "none", dir_), "none");
}

TEST_F(IniFileTest, LongUtf8ValueIsNotCutInsideACharacter) {
  std::string value;
  for (int i = 0; i < 130; ++i) value += "\xC3\xA9";  // 260 bytes of two-byte characters
  WriteFile("[S]\r\nK=" + value + "\r\n");
  EXPECT_EQ(Get("S", "K"), value.substr(0, 254));
}

TEST_F(IniFileTest, IntegerValues) {
  WriteFile(
      "[LOGO]\nPlain= 42 \nNegative=-7\nHex=0x1F\nTrailing=12abc\nText=abc\nEmpty=\n"
      "Huge=99999999999\nTiny=-99999999999\nQuoted=\"5\"\n");
  EXPECT_EQ(GetPrivateProfileInt("logo", "plain", -1, path_), 42);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Negative", -1, path_), -7);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Hex", -1, path_), 31);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Trailing", -1, path_), 12);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Text", -1, path_), 0);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Empty", -1, path_), 0);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Huge", -1, path_), INT_MAX);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Tiny", -1, path_), INT_MIN);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Quoted", -1, path_), 5);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Missing", -1, path_), -1);
  EXPECT_EQ(GetPrivateProfileInt("LOGO", "Plain", -1, dir_ + "/absent.ini"), -1);
}

TEST_F(IniFileTest, WritingKeepsEverythingElseAndTheLineEndings) {
  WriteFile(
      "; Flashwise settings\r\n"
      "[LOGO]\r\n"
      "Printer=1\r\n"
      "; port index\r\n"
      "PORT = 2\r\n"
      "\r\n"
      "[Other]\r\n"
      "Keep=yes\r\n");
  EXPECT_TRUE(WritePrivateProfileString("logo", "Port", "5", path_));
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "IP", "192.168.0.10", path_));
  EXPECT_TRUE(WritePrivateProfileString(" New ", " Key ", "value with  spaces", path_));
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "printer", std::nullopt, path_));
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "NotThere", std::nullopt, path_));
  EXPECT_EQ(ReadFile(),
            "; Flashwise settings\r\n"
            "[LOGO]\r\n"
            "; port index\r\n"
            "PORT=5\r\n"
            "IP=192.168.0.10\r\n"
            "\r\n"
            "[Other]\r\n"
            "Keep=yes\r\n"
            "\r\n"
            "[New]\r\n"
            "Key=value with  spaces\r\n");
  EXPECT_EQ(Get("new", "KEY"), "value with  spaces");

  EXPECT_TRUE(DeletePrivateProfileSection("logo", path_));
  EXPECT_EQ(
      ReadFile(),
      "; Flashwise settings\r\n[Other]\r\nKeep=yes\r\n\r\n[New]\r\nKey=value with  spaces\r\n");
}

TEST_F(IniFileTest, WritingCreatesAFileAndDeletingFromNothingCreatesNone) {
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "FirmWare", std::nullopt, path_));
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "FirmWare", "/tmp/fw.bin", path_));
  EXPECT_EQ(ReadFile(), "[LOGO]\nFirmWare=/tmp/fw.bin\n");
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "X", "1", dir_ + "/no/such/folder/a.ini"));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "X", "1", dir_));  // a directory
}

TEST_F(IniFileTest, UnstorableNamesAndValuesAreRefusedWithoutChange) {
  WriteFile("[LOGO]\nA=1\n");
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "a=b", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", ";A", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "[A", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("LO]GO", "A", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("", "A", "1", path_));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "A", "two\nlines", path_));
  EXPECT_FALSE(WritePrivateProfileString("LOGO", "A\nB", "1", path_));
  EXPECT_EQ(ReadFile(), "[LOGO]\nA=1\n");
}

TEST_F(IniFileTest, ReplacementKeepsModeAndSymbolicLinkAndLeavesNoTemporaryFile) {
  WriteFile("[LOGO]\nA=1\n");
  ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
  std::string link = dir_ + "/link.ini";
  std::filesystem::create_symlink(path_, link);
  EXPECT_TRUE(WritePrivateProfileString("LOGO", "A", "2", link));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(), "[LOGO]\nA=2\n");
  struct stat info;
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            2);
}

TEST_F(IniFileTest, ConcurrentWritersLoseNothingAndReadersNeverSeeAPartialFile) {
  WriteFile("[Fixed]\nPresent=yes\n" + std::string(4000, ';') + "\n");
  constexpr int kKeys = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = true;
    for (int i = 0; i < kKeys; ++i) {
      ok = WritePrivateProfileString("Child", "K" + std::to_string(i), std::to_string(i), path_) &&
           ok;
    }
    _exit(ok ? 0 : 1);
  }
  // Threads start after the fork so the child begins with a single thread.
  std::atomic<bool> writing{true};
  std::atomic<int> torn_reads{0};
  std::thread reader([&] {
    while (writing) {
      if (GetPrivateProfileString("Fixed", "Present", "", path_) != "yes") ++torn_reads;
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < 2; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kKeys; ++i) {
        EXPECT_TRUE(WritePrivateProfileString("T" + std::to_string(t), "K" + std::to_string(i),
                                              std::to_string(i), path_));
      }
    });
  }
  for (auto& writer : writers) writer.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  writing = false;
  reader.join();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(torn_reads.load(), 0);
  for (const char* section : {"Child", "T0", "T1"}) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_EQ(GetPrivateProfileInt(section, "K" + std::to_string(i), -1, path_), i)
          << section << " K" << i;
    }
  }
}

}  // namespace
}  // namespace platform
