#include "status_block.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace service_core {
namespace {

StatusReading Parse(std::vector<uint8_t> bytes, int drawer = 0, bool thermal = true) {
  return ParseMonitorRead(bytes, drawer, thermal);
}

TEST(MonitorRead, ReadyBlocksClearConditionsAndGiveDrawerState) {
  auto closed = Parse({0x14, 0, 0, 0}, 1);
  ASSERT_TRUE(closed.condition);
  EXPECT_FALSE(closed.condition->cover_open || closed.condition->paper_empty ||
               closed.condition->offline);
  EXPECT_EQ(closed.drawer_state, 0);

  auto open = Parse({0x10, 0, 0, 0x0F}, 0);
  EXPECT_EQ(open.drawer_state, 1);
}

// The network and USB interfaces leave the offline bit out: the serial blocks mean nothing
// there, and a paper-end block carries the ready block's first byte.
TEST(MonitorRead, CoverOpenAndPaperEndBlocksWithoutTheOfflineBit) {
  auto parse = [](std::vector<uint8_t> bytes) {
    return ParseMonitorRead(bytes, 0, true, BlockLayout::kWithoutOfflineBit);
  };
  for (uint8_t first : {0x30, 0x34}) {
    auto r = parse({first, 0, 0, 0});
    ASSERT_TRUE(r.condition) << int(first);
    EXPECT_TRUE(r.condition->cover_open && r.condition->offline);
  }
  for (uint8_t first : {0x10, 0x14}) {
    auto r = parse({first, 0, 0x0F, 0});
    ASSERT_TRUE(r.condition) << int(first);
    EXPECT_TRUE(r.condition->paper_empty && !r.condition->cover_open);
    EXPECT_EQ(r.drawer_state, first == 0x14 ? 0 : 1);  // pin 3 is reported with paper out too
  }
  for (uint8_t first : {0x30, 0x34}) EXPECT_EQ(parse({first, 0, 0, 0}).drawer_state, first == 0x34 ? 0 : 1);
  EXPECT_FALSE(parse({0x38, 0, 0, 0}).condition);
  EXPECT_FALSE(parse({0x18, 0, 0x0F, 0}).condition);
  EXPECT_FALSE(Parse({0x30, 0, 0, 0}).condition);  // not a serial block
}

TEST(MonitorRead, CoverOpenAndPaperEndBlocksOverSerial) {
  for (uint8_t first : {0x38, 0x3C}) {
    auto r = Parse({first, 0, 0, 0x0F});
    ASSERT_TRUE(r.condition) << int(first);
    EXPECT_TRUE(r.condition->cover_open);
    EXPECT_TRUE(r.condition->offline);
    EXPECT_EQ(r.drawer_state, first == 0x3C ? 0 : 1);  // pin 3 under an open cover
  }
  // Switched offline: no condition the monitor recognises, but still the drawer's level.
  EXPECT_EQ(Parse({0x1C, 0, 0, 0}, 1).drawer_state, 0);
  EXPECT_EQ(Parse({0x18, 0, 0, 0}, 0).drawer_state, 1);
  for (uint8_t first : {0x18, 0x1C}) {
    auto r = Parse({first, 0, 0x0F, 0});
    ASSERT_TRUE(r.condition) << int(first);
    EXPECT_TRUE(r.condition->paper_empty);
    EXPECT_FALSE(r.condition->cover_open);
  }
}

TEST(MonitorRead, OnlyTheNewestBlockDecidesButABriefDrawerChangeIsReported) {
  // Opened and closed again between two rounds: reported, and the drawer ends closed.
  auto r = Parse({0x10, 0, 0, 0, 0x14, 0, 0, 0}, 0);
  EXPECT_EQ(r.drawer_state, 0);
  EXPECT_EQ(r.brief_drawer_state, 1);

  // A cover opened after a ready block leaves the printer offline.
  auto cover = Parse({0x14, 0, 0, 0, 0x3C, 0, 0, 0x0F});
  ASSERT_TRUE(cover.condition);
  EXPECT_TRUE(cover.condition->cover_open);

  // Under an open cover as well: opened and closed again between two rounds.
  auto under_cover = Parse({0x38, 0, 0, 0, 0x3C, 0, 0, 0}, 0);
  EXPECT_EQ(under_cover.drawer_state, 0);
  EXPECT_EQ(under_cover.brief_drawer_state, 1);
}

TEST(MonitorRead, DotMatrixShortAnswerCompletes) {
  EXPECT_TRUE(Parse({0x20}, 0, false).completion_answer);
  EXPECT_TRUE(Parse({0x00, 0x0D}, 0, false).completion_answer);
  EXPECT_FALSE(Parse({0x20}, 0, true).completion_answer);
}

TEST(MonitorRead, PartialOrGarbageBytesInventNoState) {
  EXPECT_FALSE(Parse({}).condition);
  EXPECT_FALSE(Parse({0x14, 0, 0}).condition);        // a block split across two reads
  EXPECT_FALSE(Parse({0x14, 0x01, 0, 0}).condition);  // not a status block
  EXPECT_FALSE(Parse({0xFF, 0xFF, 0xFF, 0xFF}).condition);
  // The paper end pattern inside bytes that are not framed as a status block.
  EXPECT_FALSE(Parse({0x18, 0xFF, 0x0F, 0xFF}).condition);
  EXPECT_FALSE(Parse({0x1C, 0x00, 0x0F, 0x80}).condition);

  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> bytes(rng() % 300);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    auto r = Parse(bytes, static_cast<int>(rng() % 2), rng() % 2);
    if (r.drawer_state) {
      EXPECT_TRUE(*r.drawer_state == 0 || *r.drawer_state == 1);
    }
  }
}

TEST(MonitorRead, IncompleteBlockAtTheEndIsKeptForTheNextRound) {
  using V = std::vector<uint8_t>;
  EXPECT_EQ(IncompleteBlockTail(V{0x14, 0, 0, 0}), 0u);  // complete
  EXPECT_EQ(IncompleteBlockTail(V{0x14, 0, 0, 0, 0x38, 0}), 2u);
  EXPECT_EQ(IncompleteBlockTail(V{0x18, 0x00, 0x0F}), 3u);
  EXPECT_EQ(IncompleteBlockTail(V{0x37, 0x22, 0x46}), 0u);  // not a block head
  EXPECT_EQ(IncompleteBlockTail(V{0x10, 0xFF}), 0u);
  EXPECT_EQ(IncompleteBlockTail(V{}), 0u);
}

TEST(PrinterStatusAnswer, OfflineAnswersCountAndStatusBlocksAroundThemDoNot) {
  using Bytes = std::vector<uint8_t>;
  // Ready (12, 16) and offline with the cover open or paper out (1A, 1E).
  for (uint8_t answer : {0x12, 0x16, 0x1A, 0x1E}) {
    EXPECT_EQ(LastPrinterStatusAnswer(Bytes{answer}), answer);
  }
  // Automatic status back blocks the printer keeps sending, after or around the answer.
  EXPECT_EQ(LastPrinterStatusAnswer(Bytes{0x1E, 0x14, 0x00, 0x00, 0x0F}), 0x1E);
  EXPECT_EQ(LastPrinterStatusAnswer(Bytes{0x10, 0x00, 0x00, 0x00, 0x12, 0x38, 0x00}), 0x12);
  EXPECT_EQ(LastPrinterStatusAnswer(Bytes{0x12, 0x16}), 0x16);
  EXPECT_FALSE(LastPrinterStatusAnswer(Bytes{0x14, 0x00, 0x00, 0x0F, 0x93, 0x13, 0xFF}));
  EXPECT_FALSE(LastPrinterStatusAnswer(Bytes{}));
}

}  // namespace
}  // namespace service_core
