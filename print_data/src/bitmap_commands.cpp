#include "print_data/bitmap_commands.h"

#include "print_data/result.h"
#include "print_data/text_print.h"

namespace print_data {
namespace {

struct ThermalImage {
  int32_t result = 0;
  int32_t extended = 0;
  std::string download;  // GS * x y data
  bool normal_quality = true;
};

int32_t CeilEighth(int32_t dots) { return dots <= 0 ? 1 : (dots + 7) / 8; }

// Width check and target size shared by both models; 0 when the size is usable.
int32_t CheckWidth(const BitmapRequest& request, const MonoBitmap& image, TargetSize& target) {
  if (request.width > request.rec_line_width) return kIllegal;
  target = ComputeTargetSize(request.kind, request.width, request.map_mode,
                             request.rec_letter_quality, image.width(), image.height());
  return target.width < 1 ? kIllegal : kSuccess;
}

ThermalImage BuildThermalImage(const BitmapRequest& request, const MonoBitmap& image) {
  ThermalImage built;
  TargetSize target;
  if ((built.result = CheckWidth(request, image, target)) != kSuccess) return built;
  const int32_t x = CeilEighth(target.width);
  const int32_t y = CeilEighth(target.height);
  if (x > kMaxImageByteColumns || y > kMaxImageColumnBytes || x * y > kMaxImageBytesProduct) {
    built.result = kExtended;
    built.extended = kExtTooBig;
    return built;
  }
  built.normal_quality = target.normal_quality;
  built.download = {0x1D, '*', static_cast<char>(x), static_cast<char>(y)};
  built.download +=
      BuildColumnImage(image, target, static_cast<size_t>(x) * 8, static_cast<size_t>(y));
  return built;
}

BitmapPrint Refused(int32_t result, int32_t extended = 0) {
  BitmapPrint print;
  print.result = result;
  print.extended = extended;
  return print;
}

BitmapPrint DotMatrixPrint(const BitmapRequest& request, const MonoBitmap& image) {
  TargetSize target;
  if (const int32_t result = CheckWidth(request, image, target); result != kSuccess) {
    return Refused(result);
  }
  if (target.width > kMaxDotMatrixImageWidth || target.height > kMaxDotMatrixImageHeight) {
    return Refused(kExtended, kExtTooBig);
  }
  const size_t bands = static_cast<size_t>(CeilEighth(target.height));
  const auto columns = static_cast<size_t>(target.width);
  const std::string image_bytes = BuildColumnImage(image, target, columns, bands);

  BitmapPrint print;
  print.handovers.push_back(
      {std::string(AlignmentCommand(request.alignment)) + "\x1B\x33\x10", true});
  for (size_t band = 0; band < bands; ++band) {
    std::string line = {0x1B, '*', 0x01, static_cast<char>(columns & 0xFF),
                        static_cast<char>(columns >> 8)};
    line.reserve(5 + columns);
    for (size_t x = 0; x < columns; ++x) line.push_back(image_bytes[x * bands + band]);
    print.handovers.push_back({std::move(line), true});
    print.handovers.push_back({"\n", true});
  }
  const auto spacing = static_cast<char>(
      LineSpacingValue(request.rec_line_spacing, request.map_mode, PrinterKind::kDotMatrix));
  print.handovers.push_back({std::string{0x1B, '3', spacing, 0x1B, 'a', '0'}, false});
  return print;
}

bool FileNameFits(std::string_view name) {
  return name.size() <= kMaxFileName && name.find('\0') == std::string_view::npos;
}

}  // namespace

std::string_view AlignmentCommand(int32_t alignment) {
  if (alignment == -1) return "\x1B\x61\x30";
  if (alignment == -3) return "\x1B\x61\x32";
  return "\x1B\x61\x31";
}

BitmapPrint BuildPrintBitmap(const BitmapRequest& request, const MonoBitmap& image) {
  if (request.station != kStationReceipt) return Refused(kIllegal);
  if (request.kind == PrinterKind::kDotMatrix) return DotMatrixPrint(request, image);
  ThermalImage built = BuildThermalImage(request, image);
  if (built.result != kSuccess) return Refused(built.result, built.extended);
  BitmapPrint print;
  print.overwrites_download_area = true;
  print.handovers.push_back({std::move(built.download), true});
  print.handovers.push_back(
      {std::string(AlignmentCommand(request.alignment)) +
           (built.normal_quality ? "\x1D/0\x1B\x61\x30" : "\x1D/3\x1B\x61\x30"),
       false});
  return print;
}

BitmapPrint BuildPrintBitmap(const BitmapRequest& request) {
  if (request.station != kStationReceipt || !FileNameFits(request.file_name)) {
    return Refused(kIllegal);
  }
  BmpReadResult read = ReadBmpFile(std::string(request.file_name));
  if (!read.ok()) return Refused(read.result, read.extended);
  return BuildPrintBitmap(request, read.image);
}

BitmapDownload BuildSetBitmap(int32_t bitmap_number, const BitmapRequest& request) {
  BitmapDownload download;
  if (request.station != kStationReceipt || (bitmap_number != 1 && bitmap_number != 2) ||
      request.kind != PrinterKind::kThermal || !FileNameFits(request.file_name)) {
    download.result = kIllegal;
    return download;
  }
  BmpReadResult read = ReadBmpFile(std::string(request.file_name));
  if (!read.ok()) {
    download.result = read.result;
    download.extended = read.extended;
    download.cut_short = read.cut_short;
    return download;
  }
  ThermalImage built = BuildThermalImage(request, read.image);
  download.result = built.result;
  download.extended = built.extended;
  download.normal_quality = built.normal_quality;
  if (built.result == kSuccess) download.bytes = std::move(built.download);
  return download;
}

}  // namespace print_data
