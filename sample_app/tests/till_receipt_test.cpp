#include "till_receipt.h"

#include <gtest/gtest.h>

namespace demotill {
namespace {

std::tm At(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  return t;
}

TEST(DemoTillReceiptDate, TwelveHourClockWithMarkerBeforeTheTime) {
  EXPECT_EQ(FormatReceiptDate(At(2026, 12, 8, 15, 7)), "December/08/2026 PM 03:07");
  EXPECT_EQ(FormatReceiptDate(At(2027, 1, 31, 0, 5)), "January/31/2027 AM 12:05");
  EXPECT_EQ(FormatReceiptDate(At(2026, 9, 1, 12, 0)), "September/01/2026 PM 12:00");
  EXPECT_EQ(FormatReceiptDate(At(2026, 5, 10, 11, 59)), "May/10/2026 AM 11:59");
}

// The lines as the till prints them, character for character.
TEST(DemoTillReceipt, WideLayout) {
  const auto calls = ReceiptCalls(42, At(2026, 12, 8, 9, 30));
  const std::vector<std::string> expected = {
      "\x1b|rATEL (123)-456-7890\n\n\n",
      "\x1b|cAThank you for coming to our shop!\r\n",
      "\x1b|cADecember/08/2026 AM 09:30\r\n\r\n",
      "Chicken                             $10.00\r\n",
      "Hamburger                           $20.00\r\n",
      "Pizza                               $30.00\r\n",
      "Lemons                              $40.00\r\n",
      "Drink                               $50.00\r\n\r\n",
      "Excluded tax                       $150.00\r\n",
      "\x1b|uCTax(5%)                              $7.50\r\n",
      "\x1b|bC\x1b|2CTotal         $157.50\r\n\r\n",
      "Payment                            $200.00\r\n",
      "Change                              $42.50\r\n\r\n",
  };
  EXPECT_EQ(calls, expected);
}

TEST(DemoTillReceipt, NarrowLayoutCentresTheTotalAndTakesALead) {
  const auto calls = ReceiptCalls(33, At(2026, 12, 8, 21, 30), "\r\n\r\n");
  ASSERT_EQ(calls.size(), 13u);
  EXPECT_EQ(calls[0], "\r\n\r\n\x1b|rATEL (123)-456-7890\n\n\n");
  EXPECT_EQ(calls[2], "\x1b|cADecember/08/2026 PM 09:30\r\n\r\n");
  EXPECT_EQ(calls[3], "Chicken                    $10.00\r\n");
  EXPECT_EQ(calls[7], "Drink                      $50.00\r\n\r\n");
  EXPECT_EQ(calls[8], "Excluded tax              $150.00\r\n");
  EXPECT_EQ(calls[9], "\x1b|uCTax(5%)                     $7.50\r\n");
  EXPECT_EQ(calls[10], "\x1b|cA\x1b|bC\x1b|2CTotal    $157.50\r\n\r\n");
  EXPECT_EQ(calls[11], "Payment                   $200.00\r\n");
  EXPECT_EQ(calls[12], "Change                     $42.50\r\n\r\n");
}

TEST(DemoTillReceipt, OtherLineWidthsPrintNoReceipt) {
  EXPECT_TRUE(ReceiptCalls(56, At(2026, 1, 1, 0, 0)).empty());
  EXPECT_TRUE(ReceiptCalls(0, At(2026, 1, 1, 0, 0)).empty());
}

}  // namespace
}  // namespace demotill
