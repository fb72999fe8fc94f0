// Printer properties through the control object: every index's value after open on the
// three models, the setters' results, MapMode conversions, RecLineSpacing and the paper-cut
// distance, CharacterSet on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <vector>

#include "control_objects/opos_codes.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

using opos::control::POSPrinter;
using platform::automation::Variant;

// The values an opened printer answers, written from the printer's documented property
// tables; every index not listed reads 0 (numbers) or "" (strings).
const std::map<int32_t, int32_t> kThermalNumbers = {
    {6, 0},      {8, 1003001}, {9, 2},    {14, 2000},  {501, 1},   {8002, 437}, {8013, 1},
    {8016, 42},  {8017, 24},   {8018, 30}, {8019, 5},  {8020, 512}, {8022, 69},  {8023, 17},
    {8024, 1},   {8035, 1},    {8036, 1}, {8504, 1},   {8516, 1},  {8517, 1},   {8518, 1},
    {8519, 1},   {8520, 1},    {8521, 1}, {8524, 1},   {8526, 1},  {8527, 1},   {8528, 1},
    {8531, 1},   {8548, 998},  {8549, 1}};

std::map<int32_t, int32_t> DotMatrixNumbers() {
  auto values = kThermalNumbers;
  values[8016] = 33;
  values[8020] = 396;
  values[8022] = 0;
  values[8023] = 0;
  values[8515] = 1;  // two colours
  values[8516] = 0;  // no barcodes
  values[8524] = 0;
  values[8528] = 0;  // no sideways printing
  return values;
}

std::map<int32_t, int32_t> RevUduzo4Numbers() {
  auto values = DotMatrixNumbers();
  values[8504] = 0;  // no cover sensor
  values[8526] = 0;  // no cutter
  return values;
}

const std::map<int32_t, std::string> kStrings = {
    {1000001, ""},
    {1000002, "OPOS POSPrinter"},
    {1000003, "RecPrinter.POSPrinter.SO"},
    {1000004, "OPOS POSPrinter Service Object"},
    {1008001, "437"},
    {1008003, "42,56"},
    {1008004, "80"},
    {1008007, "0"}};

std::vector<int32_t> AllNumberIndexes() {
  std::vector<int32_t> indexes;
  for (int32_t i = 0; i <= 15; ++i) indexes.push_back(i);
  indexes.push_back(501);
  for (int32_t i = 8000; i <= 8037; ++i) indexes.push_back(i);
  for (int32_t i = 8500; i <= 8550; ++i) indexes.push_back(i);
  indexes.push_back(-1);
  return indexes;
}

class PropertiesTest : public ::testing::Test {
 protected:
  opos::control::ObjectRef<POSPrinter> Open(const std::string& model,
                                            vdev::PrinterConfig config = {}) {
    const std::string key = "Receipt" + std::to_string(++entries_);
    auto& device = rig_.AddVirtualPrinter("tty" + key, config);
    rig_.AddDeviceEntry(key, device.attachment.LinkPath(), model);
    devices_.push_back(&device);
    return OpenPrinter(key);
  }
  opos::control::ObjectRef<POSPrinter> OpenClaimed(const std::string& model = "Thermal42") {
    auto printer = Open(model);
    EXPECT_EQ(printer->ClaimDevice(1000), 0);
    return printer;
  }

  PrinterRig rig_;
  int entries_ = 0;
  std::vector<VirtualPrinterOnPty*> devices_;
};

TEST_F(PropertiesTest, EveryIndexAnswersItsValueOnEachModel) {
  const std::vector<std::pair<std::string, std::map<int32_t, int32_t>>> models = {
      {"Thermal42", kThermalNumbers},
      {"Impact33", DotMatrixNumbers()},
      // Its name must be matched at the start: "Thermal" further in does not count.
      {"RevUduzo4 Thermal", RevUduzo4Numbers()}};
  for (const auto& [model, numbers] : models) {
    SCOPED_TRACE(model);
    auto printer = Open(model);
    for (int32_t index : AllNumberIndexes()) {
      auto it = numbers.find(index);
      EXPECT_EQ(printer->GetPropertyNumber(index), it == numbers.end() ? 0 : it->second)
          << "index " << index;
    }
    for (int32_t index = 1000000; index <= 1000005; ++index) {
      auto it = kStrings.find(index);
      EXPECT_EQ(printer->GetPropertyString(index), it == kStrings.end() ? "" : it->second)
          << "index " << index;
    }
    for (int32_t index = 1008000; index <= 1008009; ++index) {
      auto it = kStrings.find(index);
      EXPECT_EQ(printer->GetPropertyString(index), it == kStrings.end() ? "" : it->second)
          << "index " << index;
    }
    printer->Close();
  }
}

TEST_F(PropertiesTest, SettersNeedTheClaimAndReadOnlyIndexesAreIgnored) {
  auto printer = Open("Thermal42");
  for (int32_t index : {8001, 8002, 8005, 8007, 8011, 8013, 8015, 8016, 8017, 8018, 8020, 8025,
                        8030, 8036}) {
    const int32_t before = printer->GetPropertyNumber(index);
    printer->SetPropertyNumber(index, 55);
    EXPECT_EQ(printer->ResultCode(), opos::kNotClaimed) << index;
    EXPECT_EQ(printer->GetPropertyNumber(index), before) << index;
  }
  // Read-only and unknown: nothing changes, not even ResultCode (still 103 from above).
  for (int32_t index : {1, 5, 8003, 8014, 8019, 8022, 8035, 8504, 8526, 8549, 9999}) {
    const int32_t before = printer->GetPropertyNumber(index);
    printer->SetPropertyNumber(index, 77);
    EXPECT_EQ(printer->ResultCode(), opos::kNotClaimed) << index;
    EXPECT_EQ(printer->GetPropertyNumber(index), before) << index;
  }
  printer->SetPropertyString(1008005, "x");  // accepted and ignored
  EXPECT_EQ(printer->GetPropertyString(1008005), "");
  EXPECT_EQ(printer->GetPropertyString(1000003), "RecPrinter.POSPrinter.SO");

  ASSERT_EQ(printer->ClaimDevice(1000), 0);
  for (auto [index, value] : std::vector<std::pair<int32_t, int32_t>>{
           {8007, 3}, {8011, -4}, {8015, 1}, {8017, 99}, {8020, 1000}, {8030, 7}, {8036, 0}}) {
    printer->SetPropertyNumber(index, value);
    EXPECT_EQ(printer->ResultCode(), 0) << index;
    EXPECT_EQ(printer->GetPropertyNumber(index), value) << index;
  }
  printer->SetPropertyNumber(8001, -1);  // a Basic True
  EXPECT_EQ(printer->GetPropertyNumber(8001), 1);
  for (auto [value, expected] :
       std::vector<std::pair<int32_t, int32_t>>{{50, 56}, {42, 42}, {10, 42}, {43, 56}, {-5, 42}}) {
    printer->SetPropertyNumber(8016, value);
    EXPECT_EQ(printer->ResultCode(), 0);
    EXPECT_EQ(printer->GetPropertyNumber(8016), expected) << value;
  }
}

struct Receipt {
  int32_t width, height, spacing;
  bool operator==(const Receipt&) const = default;
};

Receipt ReceiptLine(POSPrinter& printer) {
  return {printer.GetPropertyNumber(8020), printer.GetPropertyNumber(8017),
          printer.GetPropertyNumber(8018)};
}

TEST_F(PropertiesTest, MapModeConvertsTheReceiptLine) {
  auto printer = OpenClaimed();
  printer->SetPropertyNumber(8013, 4);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{7224, 338, 423}));
  printer->SetPropertyNumber(8013, 1);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{512, 24, 30}));
  printer->SetPropertyNumber(8013, 2);  // 30 x 7.9937 = 239.8
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{4096, 192, 240}));
  printer->SetPropertyNumber(8013, 3);  // 240 twips = 30.02 dots, x 5.5512 = 166.7
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{2844, 133, 167}));
  printer->SetPropertyNumber(8013, 1);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{512, 24, 30}));
  EXPECT_EQ(printer->GetPropertyNumber(8019), 5);  // the paper-cut distance is unchanged

  // A round trip through another unit keeps the spacing: 80 dots are 639 twips, which
  // come back as 79.94 dots.
  printer->SetPropertyNumber(8018, 80);
  printer->SetPropertyNumber(8013, 2);
  EXPECT_EQ(printer->GetPropertyNumber(8018), 639);
  printer->SetPropertyNumber(8013, 1);
  EXPECT_EQ(printer->GetPropertyNumber(8018), 80);

  // An unknown mode is stored and nothing else changes.
  printer->SetPropertyNumber(8013, 9);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_EQ(printer->GetPropertyNumber(8013), 9);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{512, 24, 80}));

  // A spacing too large for the finer unit stays at the largest value instead of wrapping.
  printer->SetPropertyNumber(8013, 1);
  printer->SetPropertyNumber(8018, INT_MAX);
  printer->SetPropertyNumber(8013, 4);
  EXPECT_EQ(printer->GetPropertyNumber(8018), INT_MAX);
}

TEST_F(PropertiesTest, DotMatrixWidthFollowsItsNarrowerLine) {
  vdev::PrinterConfig config;
  config.kind = vdev::PrinterKind::DotMatrix;
  auto printer = Open("Impact33", config);
  ASSERT_EQ(printer->ClaimDevice(1000), 0);
  printer->SetPropertyNumber(8013, 1);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{396, 24, 30}));
  printer->SetPropertyNumber(8013, 2);
  EXPECT_EQ(ReceiptLine(*printer), (Receipt{3168, 192, 240}));
}

TEST_F(PropertiesTest, LineSpacingSetsTheLinesToThePaperCut) {
  auto printer = OpenClaimed();
  for (auto [spacing, lines] :
       std::vector<std::pair<int32_t, int32_t>>{{24, 6}, {30, 5}, {60, 3}, {1, 150}, {400, 0}}) {
    printer->SetPropertyNumber(8018, spacing);
    EXPECT_EQ(printer->ResultCode(), 0);
    EXPECT_EQ(printer->GetPropertyNumber(8018), spacing);
    EXPECT_EQ(printer->GetPropertyNumber(8019), lines) << spacing;
  }
  // In hundredths of a millimetre: 423 are 30 dots.
  printer->SetPropertyNumber(8013, 4);
  printer->SetPropertyNumber(8018, 423);
  EXPECT_EQ(printer->GetPropertyNumber(8019), 5);
  printer->SetPropertyNumber(8018, 338);  // 23.97 dots
  EXPECT_EQ(printer->GetPropertyNumber(8019), 6);

  // While sideways text is collected the spacing stays.
  printer->SetDeviceEnabled(true);
  std::vector<Variant> left90 = {Variant(2), Variant(0x0102)};
  int32_t result = -1;
  ASSERT_EQ(printer->CallMethod("RotatePrint", left90, result), platform::automation::kOk);
  ASSERT_EQ(result, 0);
  printer->SetPropertyNumber(8018, 100);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_EQ(printer->GetPropertyNumber(8018), 338);
  std::vector<Variant> normal = {Variant(2), Variant(0x0001)};
  ASSERT_EQ(printer->CallMethod("RotatePrint", normal, result), platform::automation::kOk);

  // No spacing, no paper-cut distance: refused, nothing changes.
  for (int32_t bad : {0, -30, INT_MIN}) {
    printer->SetPropertyNumber(8018, bad);
    EXPECT_EQ(printer->ResultCode(), opos::kIllegal);
    EXPECT_EQ(printer->GetPropertyNumber(8018), 338);
    EXPECT_EQ(printer->GetPropertyNumber(8019), 6);
  }
}

TEST_F(PropertiesTest, PowerNotifyOnlyWhileDisabled) {
  auto printer = Open("Thermal42");
  printer->SetPropertyNumber(13, 1);  // settable before the claim
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_EQ(printer->GetPropertyNumber(13), 1);
  ASSERT_EQ(printer->ClaimDevice(1000), 0);
  printer->SetDeviceEnabled(true);
  printer->SetPropertyNumber(13, 0);
  EXPECT_EQ(printer->ResultCode(), opos::kIllegal);
  EXPECT_EQ(printer->GetPropertyNumber(13), 1);
}

TEST_F(PropertiesTest, CharacterSetSelectsTheCodePageOnTheLine) {
  auto printer = OpenClaimed();
  VirtualPrinterOnPty& device = *devices_.back();
  const std::vector<std::pair<int32_t, uint8_t>> cases = {
      {850, 2}, {858, 19}, {860, 3}, {863, 4}, {865, 5}, {255, 255}, {437, 0}, {1252, 0}};
  for (auto [character_set, n] : cases) {
    const size_t before = device.printer.Capture().size();
    printer->SetPropertyNumber(8002, character_set);
    EXPECT_EQ(printer->ResultCode(), 0);
    EXPECT_EQ(printer->GetPropertyNumber(8002), character_set);
    const std::vector<uint8_t> expected = {0x1B, 0x74, n};
    ASSERT_TRUE(PumpUntil([&] { return device.printer.Capture().size() >= before + 3; }));
    const auto capture = device.printer.Capture();
    const std::vector<uint8_t> sent(capture.begin() + before, capture.end());
    EXPECT_EQ(sent, expected) << character_set;
  }
}

TEST_F(PropertiesTest, CharacterSetIsARequestLikeAnyPrint) {
  auto printer = OpenClaimed();
  VirtualPrinterOnPty& device = *devices_.back();
  printer->SetDeviceEnabled(true);
  std::vector<int32_t> completed;
  printer->on_output_complete = [&](int32_t id) { completed.push_back(id); };

  // Asynchronous: an output identifier and its output-complete event.
  printer->SetAsyncMode(true);
  const size_t before = device.printer.Capture().size();
  printer->SetPropertyNumber(8002, 860);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_EQ(printer->GetPropertyNumber(5), 1);
  ASSERT_TRUE(PumpUntil([&] { return completed.size() == 1; }, 15000));
  EXPECT_EQ(completed, std::vector<int32_t>{1});
  const auto capture = device.printer.Capture();
  const std::vector<uint8_t> select = {0x1B, 0x74, 3};
  EXPECT_NE(std::search(capture.begin() + before, capture.end(), select.begin(), select.end()),
            capture.end());

  // Synchronous with the cover open: the send result is the property's result.
  printer->SetAsyncMode(false);
  device.Set("cover open");
  ASSERT_TRUE(PumpUntil([&] {
    printer->SetPropertyNumber(8002, 865);
    return printer->ResultCode() == opos::kExtended;
  }));
  EXPECT_EQ(printer->ResultCodeExtended(), 201);  // OPOS_EPTR_COVER_OPEN
  EXPECT_EQ(printer->GetPropertyNumber(8002), 865);
}

}  // namespace
}  // namespace service_core::testing
