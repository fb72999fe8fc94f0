// The sample receipt: the PrintNormal data of its calls for the 42- and 33-character
// layouts, the date line, and how a receipt is closed.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace demotill {

inline constexpr int kWideLayout = 42;
inline constexpr int kNarrowLayout = 33;

// "December/08/2026 PM 03:07": full month name, two-digit day, year, AM or PM, the hour
// on the 12-hour clock and the minutes.
std::string FormatReceiptDate(const std::tm& when);

// `label` and `amount` with spaces between them to `width` characters (at least one).
std::string PadLine(std::string_view label, std::string_view amount, int width);

// The receipt's PrintNormal data in order, for RecLineChars `line_chars`; empty when the
// printer has neither layout. `lead` goes in front of the first call (the bitmap steps
// put two blank lines between the logo and the receipt).
std::vector<std::string> ReceiptCalls(int line_chars, const std::tm& when,
                                      std::string_view lead = {});

// Print data that references stored bitmap 1 with two blank lines after it.
inline constexpr std::string_view kLogoReference = "\x1b|1B\r\n\r\n";
// Feed and cut.
inline constexpr std::string_view kFeedAndCut = "\x1b|fP";
// The closing of a printer without a knife: five blank lines to tear off at.
inline constexpr std::string_view kFiveLineFeeds = "\r\n\r\n\r\n\r\n\r\n";

}  // namespace demotill
