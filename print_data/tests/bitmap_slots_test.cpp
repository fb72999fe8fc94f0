#include "print_data/bitmap_slots.h"

#include <gtest/gtest.h>

#include <thread>

namespace print_data {
namespace {

StoredBitmap Slot(const std::string& name, bool normal_quality = true, int32_t alignment = -2) {
  return StoredBitmap{name, "\x1D*<" + name + ">", alignment, normal_quality};
}

// Everything a job wrote, one string per write.
std::vector<std::string> Write(BitmapSlots& slots, std::string_view job, int fail_at = -1) {
  std::vector<std::string> writes;
  slots.WriteJob(job, [&](std::string_view bytes) {
    if (static_cast<int>(writes.size()) == fail_at) return false;
    writes.emplace_back(bytes);
    return true;
  });
  return writes;
}

TEST(BitmapSlots, ReferenceDownloadsOnlyWhenThePrinterLacksTheImage) {
  BitmapSlots slots;
  slots.Store(1, Slot("one"), true);
  EXPECT_EQ(Write(slots, "a\x1B|1Bb"), (std::vector<std::string>{"a",
                                                                 "\x1B\x61\x31\x1D/0\x1B\x61\x30"
                                                                 "b"}));
  slots.Store(2, Slot("two", false, -3), true);
  EXPECT_FALSE(slots.downloaded(1));
  // The second SetBitmap replaced the printer's image: slot 1 goes down again first.
  EXPECT_EQ(Write(slots, "\x1B|1B"),
            (std::vector<std::string>{"\x1D*<one>", "\x1B\x61\x31\x1D/0\x1B\x61\x30"}));
  EXPECT_TRUE(slots.downloaded(1));
  EXPECT_FALSE(slots.downloaded(2));
  // A PrintBitmap (or power loss, or the test page) in between forces another download.
  slots.ForgetDownloads();
  EXPECT_EQ(Write(slots, "\x1B|1B").front(), "\x1D*<one>");
  EXPECT_EQ(Write(slots, "\x1B|1B").front(), "\x1B\x61\x31\x1D/0\x1B\x61\x30");
}

TEST(BitmapSlots, EmptySlotReferencesAreRemoved) {
  BitmapSlots slots;
  slots.Store(1, Slot("one"), true);
  EXPECT_EQ(Write(slots, "x\x1B|2By"), (std::vector<std::string>{"xy"}));
  slots.FreeDownloads();
  EXPECT_EQ(Write(slots, "x\x1B|1By"), (std::vector<std::string>{"xy"}));
  slots.Store(2, Slot("two"), false);
  slots.Clear();
  EXPECT_EQ(Write(slots, "\x1B|2B"), (std::vector<std::string>{}));
  // Other sequences and cut-off references stay as they are.
  EXPECT_EQ(Write(slots, "\x1B|3B\x1B|1"), (std::vector<std::string>{"\x1B|3B\x1B|1"}));
}

TEST(BitmapSlots, BothReferencesInOneJobEachPrintTheirImage) {
  BitmapSlots slots;
  slots.Store(1, Slot("one"), true);
  slots.Store(2, Slot("two", false, -1), true);
  EXPECT_EQ(Write(slots, "\x1B|1B-\x1B|2B"),
            (std::vector<std::string>{"\x1D*<one>", "\x1B\x61\x31\x1D/0\x1B\x61\x30-", "\x1D*<two>",
                                      "\x1B\x61\x30\x1D/3\x1B\x61\x30"}));
}

TEST(BitmapSlots, FailedDownloadLeavesTheSlotToBeDownloadedAgain) {
  BitmapSlots slots;
  slots.Store(1, Slot("one"), false);
  EXPECT_TRUE(Write(slots, "\x1B|1B", 0).empty());
  EXPECT_FALSE(slots.downloaded(1));
  EXPECT_EQ(Write(slots, "\x1B|1B").size(), 2u);
}

TEST(BitmapSlots, StoringWhileTheWorkerExpands) {
  BitmapSlots slots;
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) {
      for (const std::string& write : Write(slots, "\x1B|1B\x1B|2B")) {
        ASSERT_TRUE(write.rfind("\x1D*<", 0) == 0 || write.rfind("\x1B\x61", 0) == 0) << write;
      }
    }
  });
  for (int i = 0; i < 2000; ++i) {
    slots.Store(1 + i % 2, Slot(i % 3 ? "a" : "bb"), i % 2 == 0);
    if (i % 7 == 0) slots.ForgetDownloads();
  }
  worker.join();
}

}  // namespace
}  // namespace print_data
