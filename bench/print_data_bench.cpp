// Speed of the print-data code: translation against plain copying, bitmap conversion,
// barcode command building.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "../print_data/tests/bmp_builder.h"
#include "print_data/barcode.h"
#include "print_data/bitmap_commands.h"
#include "print_data/bmp_reader.h"
#include "print_data/escape_translator.h"

namespace {

using print_data::EscapeTranslator;
using print_data::TranslateSettings;

constexpr size_t kTextBytes = 32000;

std::string PlainReceipt() {
  std::string text;
  char line[64];
  for (int i = 0; text.size() + 64 < kTextBytes; ++i) {
    std::snprintf(line, sizeof line, "%03d  ITEM DESCRIPTION %-12d %9.2f\n", i % 1000, i, i * 1.25);
    text += line;
  }
  return text;
}

std::string EscapeHeavyReceipt() {
  static constexpr const char* kLine =
      "\x1B|cA\x1B|bCTOTAL\x1B|N \x1B|2C12.34\x1B|1C \x1B|uCok\x1B|N\x1B|3hCX\x1B|2vCY\x1B|N\n";
  std::string text;
  while (text.size() + 80 < kTextBytes) text += kLine;
  return text;
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
    benchmark::DoNotOptimize(out.bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CopyPlainText(benchmark::State& state) { Copy(state, PlainReceipt()); }
void BM_TranslatePlainText(benchmark::State& state) { Translate(state, PlainReceipt()); }
void BM_CopyEscapeHeavyText(benchmark::State& state) { Copy(state, EscapeHeavyReceipt()); }
void BM_TranslateEscapeHeavyText(benchmark::State& state) {
  Translate(state, EscapeHeavyReceipt());
}

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

BENCHMARK(BM_CopyPlainText);
BENCHMARK(BM_TranslatePlainText);
BENCHMARK(BM_CopyEscapeHeavyText);
BENCHMARK(BM_TranslateEscapeHeavyText);
BENCHMARK(BM_BitmapThermal512x800);
BENCHMARK(BM_BitmapDotMatrix512x800);
BENCHMARK(BM_BarcodeUpcA);
BENCHMARK(BM_BarcodeCode128);

}  // namespace

BENCHMARK_MAIN();
