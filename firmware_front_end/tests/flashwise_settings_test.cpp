#include "flashwise_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "test_support/process.h"
#include "test_support/temp_registry.h"
#include "upload_request.h"

namespace flashwise {
namespace {

TEST(FlashwiseSettings, ListIndexFromStoredText) {
  EXPECT_EQ(ListIndexFromText("3", 16), 3);
  EXPECT_EQ(ListIndexFromText(" 15 ", 16), 15);
  EXPECT_EQ(ListIndexFromText("2.9", 16), 2);  // truncated
  EXPECT_EQ(ListIndexFromText("16", 16), 0);   // not below the length
  EXPECT_EQ(ListIndexFromText("99", 16), 0);
  EXPECT_EQ(ListIndexFromText("-1", 16), 0);
  EXPECT_EQ(ListIndexFromText("COM3", 16), 0);
  EXPECT_EQ(ListIndexFromText("3x", 16), 0);
  EXPECT_EQ(ListIndexFromText("0x3", 16), 0);
  EXPECT_EQ(ListIndexFromText("nan", 16), 0);
  EXPECT_EQ(ListIndexFromText("", 16), 0);
}

TEST(FlashwiseSettings, ListsInTheirOrder) {
  ASSERT_EQ(PortList().size(), 16u);
  EXPECT_EQ(PortList()[0], "LPT1");
  EXPECT_EQ(PortList()[3], "TCP/IP");
  EXPECT_EQ(PortList()[4], "COM1");
  EXPECT_EQ(PortList()[15], "COM12");
  EXPECT_EQ(BaudRateList().front(), "2400 bps");
  EXPECT_EQ(BaudRateList().back(), "38400 bps");
  EXPECT_EQ(BaudCodeFromText("2400 bps"), 4);
  EXPECT_EQ(BaudCodeFromText("38400 bps"), 8);
  EXPECT_EQ(BaudCodeFromText("115200 bps"), 10);
  EXPECT_EQ(BaudCodeFromText("9600"), 0);
}

TEST(FlashwiseSettings, WrittenSettingsReadBackAndBadOnesFallBack) {
  test_support::TempRegistry dir("flashwise-ini");
  const std::string path = dir.Dir() + "/flashwise.ini";
  EXPECT_EQ(LoadSettings(path).port, 0);  // no file yet
  EXPECT_EQ(LoadSettings(path).ip, "");

  FlashwiseSettings s;
  s.port = 9;
  s.ip = "192.168.1.40";
  s.baud_rate = 2;
  s.parity = 2;
  s.firmware = "/opt/fw/printer v2.bin";
  ASSERT_TRUE(SaveSettings(s, path));
  const FlashwiseSettings back = LoadSettings(path);
  EXPECT_EQ(back.port, 9);
  EXPECT_EQ(back.ip, "192.168.1.40");
  EXPECT_EQ(back.baud_rate, 2);
  EXPECT_EQ(back.parity, 2);
  EXPECT_EQ(back.firmware, "/opt/fw/printer v2.bin");

  std::ofstream(path) << "[logo]\nport=TCP\nbaudrate=7\nparity=1.5\nFirmWare=x\n";
  const FlashwiseSettings bad = LoadSettings(path);
  EXPECT_EQ(bad.port, 0);
  EXPECT_EQ(bad.baud_rate, 0);
  EXPECT_EQ(bad.parity, 1);
  EXPECT_EQ(bad.firmware, "x");
}

TEST(FlashwiseResults, OnlyZeroAndMinusOneToFourAreReported) {
  const auto done = MessageForResult(0);
  ASSERT_TRUE(done);
  EXPECT_FALSE(done->warning);
  EXPECT_EQ(done->text,
            "Upload finished, and Writing of firmware file completed.\r\n"
            "firmware becomes available after the reset of a device.");
  for (int result : {-1, -2, -3, -4}) {
    const auto failed = MessageForResult(result);
    ASSERT_TRUE(failed) << result;
    EXPECT_TRUE(failed->warning);
    EXPECT_EQ(failed->text, "Communication error. Can not be transmitted.");
  }
  EXPECT_FALSE(MessageForResult(1));
  EXPECT_FALSE(MessageForResult(-5));
}

// Asked for its usage or version, the program answers without opening its window.
TEST(FlashwiseProgram, HelpAndVersionNeedNoDisplay) {
  test_support::CommandRun run = test_support::RunWithoutDisplay(FLASHWISE_PATH, "--help");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output.rfind("usage: Flashwise [--registry FILE]", 0), 0u) << run.output;
  run = test_support::RunWithoutDisplay(FLASHWISE_PATH, "--version");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "Flashwise 2.15\n");
}

}  // namespace
}  // namespace flashwise
