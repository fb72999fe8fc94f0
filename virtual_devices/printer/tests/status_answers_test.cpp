// Answers the printer gives: real-time status, automatic status back per link, the
// process-identifier answer, power and drawer behaviour, and the text commands.
#include <gtest/gtest.h>

#include <functional>

#include "printer_harness.h"

namespace vdev::testing {
namespace {

const Bytes kStatus1 = {0x10, 0x04, 0x01};
const Bytes kStatus2 = {0x10, 0x04, 0x02};
const Bytes kStatus4 = {0x10, 0x04, 0x04};
const Bytes kEnableAsb = {0x1D, 0x61, 0xFF};
const Bytes kProcessId = {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30, 'F', 'F', 'F', 'F'};
const Bytes kProcessIdAnswer = {0x37, 0x22, 'F', 'F', 'F', 'F', 0x00};

struct StateCase {
  const char* name;
  std::function<void(VirtualPrinter&)> enter;
  uint8_t status1, status2, status4;
};

TEST(RealTimeStatus, EachStateGivesTheDeviceBytes) {
  const StateCase cases[] = {
      {"ready", [](VirtualPrinter&) {}, 0x16, 0x12, 0x12},
      {"drawer open", [](VirtualPrinter& p) { p.SetDrawerOpen(true); }, 0x12, 0x12, 0x12},
      {"cover open", [](VirtualPrinter& p) { p.SetCoverOpen(true); }, 0x1E, 0x16, 0x12},
      {"paper out", [](VirtualPrinter& p) { p.SetPaperOut(true); }, 0x1E, 0x32, 0x7E},
      {"switched offline", [](VirtualPrinter& p) { p.SetOffline(true); }, 0x1E, 0x12, 0x12},
      {"cover open and paper out",
       [](VirtualPrinter& p) {
         p.SetCoverOpen(true);
         p.SetPaperOut(true);
       },
       0x1E, 0x36, 0x7E},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    c.enter(h.printer);
    // The three queries in one write, as a thermal probe sends them.
    EXPECT_EQ(h.Send(Cat({kStatus1, kStatus2, kStatus4})),
              (Bytes{c.status1, c.status2, c.status4}));
  }
}

TEST(RealTimeStatus, AnsweredWhileDataIsHeldAndSplitAcrossReads) {
  Harness h;
  h.printer.SetCoverOpen(true);
  EXPECT_TRUE(h.Send(B("held text\n")).empty());
  EXPECT_GT(h.printer.Status().buffered_bytes, 0u);
  EXPECT_TRUE(h.Send({0x10}).empty());
  EXPECT_TRUE(h.Send({0x04}).empty());
  EXPECT_EQ(h.Send({0x02}), Bytes{0x16});
  EXPECT_TRUE(h.sink.ops().empty());
  // An unknown status number has no answer and does not disturb the next query.
  EXPECT_TRUE(h.Send({0x10, 0x04, 0x09}).empty());
  EXPECT_EQ(h.Send(kStatus4), Bytes{0x12});
}

// How the drivers' monitor reads the last four bytes of a read (serial and network/USB).
enum class Seen { Ready, CoverOpen, PaperEmpty, Nothing };

Seen DriverReading(const Bytes& b, PrinterLink link) {
  const uint8_t b1 = b[0], b2 = b[1], b3 = b[2], b4 = b[3];
  const bool ready_shape = b2 == 0 && b3 == 0 && (b4 == 0 || b4 == 0x0F);
  if (ready_shape && (b1 == 0x10 || b1 == 0x14)) return Seen::Ready;
  if (link == PrinterLink::Serial) {
    if (ready_shape && (b1 == 0x38 || b1 == 0x3C)) return Seen::CoverOpen;
    if (!ready_shape && b3 == 0x0F && (b1 == 0x18 || b1 == 0x1C)) return Seen::PaperEmpty;
    return Seen::Nothing;
  }
  if (ready_shape && (b1 == 0x30 || b1 == 0x34)) return Seen::CoverOpen;
  if (b3 == 0x0F && (b1 == 0x10 || b1 == 0x14)) return Seen::PaperEmpty;
  return Seen::Nothing;
}

struct LinkCase {
  PrinterLink link;
  Bytes ready, cover_open, paper_end, drawer_open, cover_and_paper;
};

TEST(AutomaticStatusBack, BlockOnEnablingAndOnEveryChangePerLink) {
  const LinkCase cases[] = {
      {PrinterLink::Serial,
       {0x14, 0, 0, 0},
       {0x3C, 0, 0, 0},
       {0x1C, 0, 0x0F, 0},
       {0x10, 0, 0, 0},
       {0x3C, 0, 0, 0}},
      {PrinterLink::Network,
       {0x14, 0, 0, 0},
       {0x34, 0, 0, 0},
       {0x14, 0, 0x0F, 0},
       {0x10, 0, 0, 0},
       {0x34, 0, 0, 0}},
      {PrinterLink::Usb,
       {0x14, 0, 0, 0},
       {0x34, 0, 0, 0},
       {0x14, 0, 0x0F, 0},
       {0x10, 0, 0, 0},
       {0x34, 0, 0, 0}},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(int(c.link));
    PrinterConfig config;
    config.link = c.link;
    Harness h(config);
    EXPECT_EQ(h.Send(kEnableAsb), c.ready);
    h.printer.SetCoverOpen(true);
    EXPECT_EQ(h.TakeAnswers(), c.cover_open);
    EXPECT_EQ(DriverReading(c.cover_open, c.link), Seen::CoverOpen);
    h.printer.SetPaperOut(true);  // with the cover open only the cover is reported
    EXPECT_EQ(h.TakeAnswers(), c.cover_and_paper);
    h.printer.SetCoverOpen(false);
    EXPECT_EQ(h.TakeAnswers(), c.paper_end);
    EXPECT_EQ(DriverReading(c.paper_end, c.link), Seen::PaperEmpty);
    h.printer.SetPaperOut(false);
    EXPECT_EQ(h.TakeAnswers(), c.ready);
    EXPECT_EQ(DriverReading(c.ready, c.link), Seen::Ready);
    h.printer.SetDrawerOpen(true);
    EXPECT_EQ(h.TakeAnswers(), c.drawer_open);
    EXPECT_EQ(DriverReading(c.drawer_open, c.link), Seen::Ready);
    h.printer.SetDrawerOpen(true);  // no change, no block
    EXPECT_TRUE(h.TakeAnswers().empty());
    // Enabling again sends the current block again.
    EXPECT_EQ(h.Send(kEnableAsb), c.drawer_open);
  }
}

TEST(AutomaticStatusBack, MaskSelectsCategoriesAndZeroDisables) {
  Harness h;
  EXPECT_EQ(h.Send({0x1D, 0x61, 0x01}), (Bytes{0x14, 0, 0, 0}));  // drawer only
  h.printer.SetCoverOpen(true);
  EXPECT_TRUE(h.TakeAnswers().empty());
  h.printer.SetDrawerOpen(true);
  EXPECT_EQ(h.TakeAnswers(), (Bytes{0x38, 0, 0, 0}));
  EXPECT_TRUE(h.Send({0x1D, 0x61, 0x00}).empty());  // held: the cover is open
  h.printer.SetCoverOpen(false);                    // now GS a 0 runs
  h.printer.SetDrawerOpen(false);
  EXPECT_TRUE(h.TakeAnswers().empty());
  EXPECT_FALSE(h.printer.Status().asb_enabled);
}

TEST(ProcessId, AnsweredOnlyAfterHeldDataHasPrinted) {
  Harness h;
  EXPECT_EQ(h.Send(kProcessId), kProcessIdAnswer);  // online: at once
  EXPECT_EQ(h.Send(kEnableAsb), (Bytes{0x14, 0, 0, 0}));
  h.printer.SetPaperOut(true);
  EXPECT_EQ(h.TakeAnswers(), (Bytes{0x1C, 0, 0x0F, 0}));
  EXPECT_TRUE(h.Send(Cat({B("Total 9.99\n"), kProcessId})).empty());
  EXPECT_EQ(h.Send(kStatus4), Bytes{0x7E});
  EXPECT_TRUE(h.sink.ops().empty());
  h.printer.SetPaperOut(false);
  // The state block first, then the held data prints and the answer follows.
  EXPECT_EQ(h.TakeAnswers(), Cat({{0x14, 0, 0, 0}, kProcessIdAnswer}));
  ASSERT_EQ(h.sink.descriptions().size(), 1u);
  EXPECT_EQ(h.sink.descriptions()[0], "text a0 s30 cp0 [f0 1x1]Total 9.99");
  EXPECT_EQ(h.printer.Status().buffered_bytes, 0u);
}

TEST(ProcessId, OtherFunctionsAndLengthsAreSkippedWithoutAnswer) {
  Harness h;
  EXPECT_TRUE(h.Send({0x1D, 0x28, 0x48, 0x06, 0x00, 0x31, 0x30, 'A', 'B', 'C', 'D'}).empty());
  EXPECT_TRUE(h.Send({0x1D, 0x28, 0x48, 0x03, 0x00, 0x30, 0x30, 'A'}).empty());
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x16});  // framing stayed in step
}

TEST(Power, OffIsSilentAndOnResetsWithoutSending) {
  Harness h;
  std::vector<ModemLines> seen;
  h.printer.SetLinesChanged([&](ModemLines lines) { seen.push_back(lines); });
  h.Send(Cat({kEnableAsb, {0x1B, 0x45, 0x01}, {0x1D, 0x2A, 0x01, 0x01}, Bytes(8, 0xFF)}));
  h.printer.SetPower(false);
  EXPECT_FALSE(h.printer.Lines().cts);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].cts);
  h.printer.SetCoverOpen(true);
  h.printer.SetCoverOpen(false);
  EXPECT_TRUE(h.Send(Cat({kStatus1, kProcessId, B("lost\n")})).empty());
  EXPECT_TRUE(h.TakeAnswers().empty());
  h.printer.SetPower(true);
  EXPECT_TRUE(h.TakeAnswers().empty());
  EXPECT_TRUE(h.printer.Lines().cts);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[1].cts);
  EXPECT_FALSE(h.printer.Status().asb_enabled);
  h.printer.SetCoverOpen(true);  // automatic status back is off after the reset
  h.printer.SetCoverOpen(false);
  EXPECT_TRUE(h.TakeAnswers().empty());
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x16});
  // Modes and the downloaded image did not survive: plain text, GS / prints nothing.
  h.Send(Cat({B("after\n"), {0x1D, 0x2F, 0x00}}));
  EXPECT_EQ(h.sink.descriptions(), std::vector<std::string>{"text a0 s30 cp0 [f0 1x1]after"});
  EXPECT_GT(h.printer.Status().lost_bytes, 0u);
}

TEST(Power, PartialCommandIsLostWithThePower) {
  Harness h;
  h.Send({0x1D, 0x28, 0x48, 0x06});  // half a process-ID request
  h.printer.SetPower(false);
  h.printer.SetPower(true);
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x16});
}

TEST(Answers, OffSuppressesEveryAnswerAndOnRestores) {
  Harness h;
  h.printer.SetAnswering(false);
  EXPECT_TRUE(h.Send(Cat({kStatus1, kEnableAsb, kProcessId})).empty());
  h.printer.SetCoverOpen(true);
  EXPECT_TRUE(h.TakeAnswers().empty());
  h.printer.SetAnswering(true);
  EXPECT_EQ(h.Send(kStatus2), Bytes{0x16});
}

TEST(Drawer, KickOpensPersonClosesAndPolarityDecidesPin3) {
  Harness h;
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x16});  // closed, pin 3 low when open: high now
  h.Send({0x1B, 0x70, 0x00, 0x00, 0xC8});    // no on-time: no pulse
  EXPECT_FALSE(h.printer.Status().drawer_open);
  h.Send({0x1B, 0x70, 0x30, 0x64, 0xC8});
  EXPECT_TRUE(h.printer.Status().drawer_open);
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x12});
  h.Send({0x1B, 0x70, 0x31, 0x64, 0xC8});  // kicking an open drawer leaves it open
  EXPECT_TRUE(h.printer.Status().drawer_open);
  h.printer.SetPin3OpenLevel(Pin3Level::High);
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x16});
  h.printer.SetDrawerOpen(false);
  EXPECT_EQ(h.Send(kStatus1), Bytes{0x12});
  // Real-time pulse works while offline; ESC p waits for the printer to come online.
  h.printer.SetCoverOpen(true);
  h.Send({0x1B, 0x70, 0x00, 0x32, 0x64});
  EXPECT_FALSE(h.printer.Status().drawer_open);
  h.printer.SetCoverOpen(false);
  EXPECT_TRUE(h.printer.Status().drawer_open);
  h.printer.SetDrawerOpen(false);
  h.printer.SetOffline(true);
  h.Send({0x10, 0x14, 0x01, 0x00, 0x03});
  EXPECT_TRUE(h.printer.Status().drawer_open);
}

TEST(TextCommands, ChangeStateAndRefuseOthers) {
  Harness h;
  std::string reply;
  const std::pair<const char*, std::function<bool(const PrinterStatus&)>> cases[] = {
      {"cover open", [](const PrinterStatus& s) { return s.cover_open; }},
      {"  Cover   CLOSE ", [](const PrinterStatus& s) { return !s.cover_open; }},
      {"paper out", [](const PrinterStatus& s) { return s.paper_out && !s.online(); }},
      {"paper in", [](const PrinterStatus& s) { return !s.paper_out && s.online(); }},
      {"offline", [](const PrinterStatus& s) { return s.switched_offline; }},
      {"online", [](const PrinterStatus& s) { return s.online(); }},
      {"drawer open", [](const PrinterStatus& s) { return s.drawer_open && !s.pin3_high; }},
      {"pin3 high-open", [](const PrinterStatus& s) { return s.pin3_high; }},
      {"drawer close", [](const PrinterStatus& s) { return !s.drawer_open && !s.pin3_high; }},
      {"pin3 low-open", [](const PrinterStatus& s) { return s.pin3_high; }},
      {"answers off", [](const PrinterStatus& s) { return !s.answering; }},
      {"answers on", [](const PrinterStatus& s) { return s.answering; }},
      {"power off", [](const PrinterStatus& s) { return !s.power; }},
      {"power on", [](const PrinterStatus& s) { return s.power; }},
  };
  for (const auto& [command, check] : cases) {
    SCOPED_TRACE(command);
    EXPECT_TRUE(h.printer.Command(command, reply));
    EXPECT_TRUE(check(h.printer.Status()));
    EXPECT_FALSE(reply.empty());
  }
  EXPECT_TRUE(h.printer.Command("status", reply));
  EXPECT_NE(reply.find("cover closed"), std::string::npos);
  for (const char* other : {"disconnect", "refuse", "slow 10", "cover", ""}) {
    EXPECT_FALSE(h.printer.Command(other, reply)) << other;
    EXPECT_NE(reply.find("unknown"), std::string::npos);
  }
}

}  // namespace
}  // namespace vdev::testing
