#include "till_receipt.h"

namespace demotill {
namespace {

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

struct Item {
  const char* name;
  const char* amount;
};
constexpr Item kItems[] = {{"Chicken", "$10.00"},
                           {"Hamburger", "$20.00"},
                           {"Pizza", "$30.00"},
                           {"Lemons", "$40.00"},
                           {"Drink", "$50.00"}};

}  // namespace

std::string FormatReceiptDate(const std::tm& when) {
  const int month = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
  const int hour12 = when.tm_hour % 12 == 0 ? 12 : when.tm_hour % 12;
  return std::string(kMonths[month]) + "/" + TwoDigits(when.tm_mday) + "/" +
         std::to_string(when.tm_year + 1900) + (when.tm_hour < 12 ? " AM " : " PM ") +
         TwoDigits(hour12) + ":" + TwoDigits(when.tm_min);
}

std::string PadLine(std::string_view label, std::string_view amount, int width) {
  const int used = static_cast<int>(label.size() + amount.size());
  const int gap = width - used > 1 ? width - used : 1;
  return std::string(label) + std::string(static_cast<size_t>(gap), ' ') + std::string(amount);
}

std::vector<std::string> ReceiptCalls(int line_chars, const std::tm& when, std::string_view lead) {
  if (line_chars != kWideLayout && line_chars != kNarrowLayout) return {};
  const int width = line_chars;
  const std::string crlf = "\r\n";
  std::vector<std::string> calls;
  calls.push_back(std::string(lead) + "\x1b|rATEL (123)-456-7890\n\n\n");
  calls.push_back("\x1b|cAThank you for coming to our shop!" + crlf);
  calls.push_back("\x1b|cA" + FormatReceiptDate(when) + crlf + crlf);
  for (const Item& item : kItems) {
    const bool last = &item == &kItems[std::size(kItems) - 1];
    calls.push_back(PadLine(item.name, item.amount, width) + crlf + (last ? crlf : ""));
  }
  calls.push_back(PadLine("Excluded tax", "$150.00", width) + crlf);
  calls.push_back("\x1b|uC" + PadLine("Tax(5%)", "$7.50", width) + crlf);
  if (width == kWideLayout) {
    calls.push_back("\x1b|bC\x1b|2CTotal         $157.50" + crlf + crlf);
  } else {
    calls.push_back("\x1b|cA\x1b|bC\x1b|2CTotal    $157.50" + crlf + crlf);
  }
  calls.push_back(PadLine("Payment", "$200.00", width) + crlf);
  calls.push_back(PadLine("Change", "$42.50", width) + crlf + crlf);
  return calls;
}

}  // namespace demotill
