// Speed of the print-data code. The headline is one whole receipt as an application prints
// it: 15 PrintNormal calls of a 42-column receipt, its barcode and the cut, each call taking
// the way PrintNormal takes before the send routine. Then translation of large texts against
// plain copying, bitmap conversion, barcode command building.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../print_data/tests/bmp_builder.h"
#include "print_data/barcode.h"
#include "print_data/bitmap_commands.h"
#include "print_data/bmp_reader.h"
#include "print_data/escape_translator.h"
#include "print_data/text_print.h"

namespace {

using print_data::EscapeTranslator;
using print_data::TranslateSettings;

// The translated text must stay within the 32 767 bytes a call may send: sequences
// translate to more bytes than they take.
constexpr size_t kTextBytes = 32000;
constexpr size_t kFormattedBytes = 26000;
constexpr size_t kEscapeHeavyBytes = 28000;

std::string PlainReceipt() {
  std::string text;
  char line[64];
  for (int i = 0; text.size() + 64 < kTextBytes; ++i) {
    std::snprintf(line, sizeof line, "%03d  ITEM DESCRIPTION %-12d %9.2f\n", i % 1000, i, i * 1.25);
    text += line;
  }
  return text;
}

// About 2 sequences per line on every line: alignment, bold, sizes, underline.
std::string FormattedReceipt() {
  std::string text;
  char line[96];
  for (int i = 0; text.size() + 96 < kFormattedBytes; ++i) {
    switch (i % 8) {
      case 0:
        std::snprintf(line, sizeof line, "\x1B|cA\x1B|bC\x1B|2CSTORE %04d\x1B|N\n", i);
        break;
      case 1:
        std::snprintf(line, sizeof line, "\x1B|cA%d MAIN STREET\n", i);
        break;
      case 5:
        std::snprintf(line, sizeof line, "\x1B|uCVAT %d%%\x1B|N %21.2f\n", i % 25, i * 0.19);
        break;
      case 6:
        std::snprintf(line, sizeof line, "\x1B|rA\x1B|bC\x1B|2CTOTAL %9.2f\x1B|N\n", i * 3.5);
        break;
      case 7:
        std::snprintf(line, sizeof line, "\x1B|cA\x1B|3hCTHANK YOU %d\x1B|N\n", i);
        break;
      default:
        std::snprintf(line, sizeof line, "%2d x ITEM %-20d \x1B|bC%8.2f\x1B|N\n", i % 9 + 1, i * 7,
                      i * 1.25);
        break;
    }
    text += line;
  }
  return text;
}

// Ten sequences in 56 bytes, repeated: the densest mix of sequences and text.
std::string EscapeHeavyText() {
  static constexpr const char* kLine =
      "\x1B|cA\x1B|bCTOTAL\x1B|N \x1B|2C12.34\x1B|1C \x1B|uCok\x1B|N\x1B|3hCX\x1B|2vCY\x1B|N\n";
  std::string text;
  while (text.size() + 56 <= kEscapeHeavyBytes) text += kLine;
  return text;
}

// The 15 lines of a 42-column receipt, one PrintNormal call each, as a till sends them.
const std::vector<std::string>& ReceiptCalls() {
  static const std::vector<std::string> calls = {
      "\x1B|cA\x1B|bC\x1B|2CCORNER SHOP\x1B|N\n",
      "\x1B|cA12 Market Street, Springfield\n",
      "\x1B|cATel 555 0100    VAT 123 456 789\n",
      "------------------------------------------\n",
      "2 x Coffee beans 500 g              17.98\n",
      "1 x Whole milk 1 l                   1.19\n",
      "3 x Croissant                        4.50\n",
      "1 x Orange juice                     2.49\n",
      "------------------------------------------\n",
      "\x1B|bCSubtotal                            26.16\x1B|N\n",
      "VAT 19 %                              4.18\n",
      "\x1B|bC\x1B|2CTOTAL          26.16\x1B|N\n",
      "Card                                 26.16\n",
      "\x1B|cA\x1B|uCThank you for shopping with us\x1B|N\n",
      "\x1B|cA2024-06-11 14:32  Till 3  #004711\n\x1B|3lF",
  };
  return calls;
}

void BM_Receipt42ColumnsPerReceipt(benchmark::State& state) {
  print_data::EscapeTranslator translator;
  print_data::RotationState rotation;
  print_data::PrintNormalRequest request;
  print_data::BarcodeRequest barcode;
  barcode.symbology = 110;
  barcode.data = "004711";
  barcode.width = 400;
  barcode.height = 80;
  for (auto _ : state) {
    for (const std::string& call : ReceiptCalls()) {
      request.data = call;
      print_data::PrintNormalOutput output =
          print_data::PreparePrintNormal(request, translator, rotation);
      if (output.result != print_data::kSuccess || !output.send) {
        state.SkipWithError("receipt line refused");
        return;
      }
      print_data::CommitPrintNormal(output, translator, rotation);
      benchmark::DoNotOptimize(output.bytes.data());
    }
    print_data::Encoded code = print_data::BuildBarcodeCommand(barcode);
    if (!code.ok()) {
      state.SkipWithError("barcode refused");
      return;
    }
    benchmark::DoNotOptimize(code.bytes.data());
    std::string cut(print_data::kCutPaper);
    benchmark::DoNotOptimize(cut.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("1 item = 15 PrintNormal calls + barcode + cut");
}

void Copy(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::string copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Translate(benchmark::State& state, const std::string& text) {
  EscapeTranslator translator;
  const TranslateSettings settings;
  for (auto _ : state) {
    print_data::Encoded out = translator.Translate(text, settings);
    if (!out.ok()) state.SkipWithError("translation refused");
    benchmark::DoNotOptimize(out.bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CopyPlainText(benchmark::State& state) { Copy(state, PlainReceipt()); }
void BM_TranslatePlainText(benchmark::State& state) { Translate(state, PlainReceipt()); }
void BM_CopyFormattedReceipt(benchmark::State& state) { Copy(state, FormattedReceipt()); }
void BM_TranslateFormattedReceipt(benchmark::State& state) { Translate(state, FormattedReceipt()); }
void BM_CopyEscapeHeavyText(benchmark::State& state) { Copy(state, EscapeHeavyText()); }
void BM_TranslateEscapeHeavyText(benchmark::State& state) { Translate(state, EscapeHeavyText()); }

print_data::MonoBitmap Image512x800() {
  print_data::testing::BmpLayout layout;
  layout.width = 512;
  layout.height = 800;
  layout.pixel = [](int32_t x, int32_t y) { return ((x / 7) + (y / 5)) % 3 == 0; };
  return print_data::ReadBmp(print_data::testing::BuildBmp(layout)).image;
}

void ConvertBitmap(benchmark::State& state, print_data::PrinterKind kind, int32_t width) {
  const print_data::MonoBitmap image = Image512x800();
  print_data::BitmapRequest request;
  request.kind = kind;
  request.width = width;
  request.rec_line_width = kind == print_data::PrinterKind::kThermal ? 512 : 396;
  for (auto _ : state) {
    print_data::BitmapPrint print = print_data::BuildPrintBitmap(request, image);
    if (!print.ok()) state.SkipWithError("bitmap refused");
    benchmark::DoNotOptimize(print.handovers.data());
  }
  state.SetItemsProcessed(state.iterations());
}

// The largest sizes the printers take from a 512 x 800 image.
void BM_BitmapThermal512x800(benchmark::State& state) {
  ConvertBitmap(state, print_data::PrinterKind::kThermal, 480);
}
void BM_BitmapDotMatrix512x800(benchmark::State& state) {
  ConvertBitmap(state, print_data::PrinterKind::kDotMatrix, 396);
}

void BuildBarcode(benchmark::State& state, int32_t symbology, const char* data) {
  print_data::BarcodeRequest request;
  request.symbology = symbology;
  request.data = data;
  request.width = 500;
  request.height = 80;
  for (auto _ : state) {
    print_data::Encoded command = print_data::BuildBarcodeCommand(request);
    if (!command.ok()) state.SkipWithError("barcode refused");
    benchmark::DoNotOptimize(command.bytes.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BarcodeUpcA(benchmark::State& state) { BuildBarcode(state, 101, "01234567890"); }
void BM_BarcodeCode128(benchmark::State& state) { BuildBarcode(state, 110, "ABC-12345"); }

BENCHMARK(BM_Receipt42ColumnsPerReceipt);
BENCHMARK(BM_CopyPlainText);
BENCHMARK(BM_TranslatePlainText);
BENCHMARK(BM_CopyFormattedReceipt);
BENCHMARK(BM_TranslateFormattedReceipt);
BENCHMARK(BM_CopyEscapeHeavyText);
BENCHMARK(BM_TranslateEscapeHeavyText);
BENCHMARK(BM_BitmapThermal512x800);
BENCHMARK(BM_BitmapDotMatrix512x800);
BENCHMARK(BM_BarcodeUpcA);
BENCHMARK(BM_BarcodeCode128);

}  // namespace

BENCHMARK_MAIN();
