// PrintBitmap and SetBitmap: images read and converted by print_data, handed to the send
// routine; SetBitmap also fills one of the two stored-bitmap slots.
#include "build_differences.h"
#include "opos_codes.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr int32_t kPropRecLetterQuality = 8015;
// SetBitmap writes its download at once; queued asynchronous output goes first, so the two
// never interleave on the port. The application's events keep flowing meanwhile.
constexpr uint64_t kDrainBeforeDownloadMs = 10000;
constexpr uint32_t kDrainPumpMs = 20;
}  // namespace

print_data::BitmapRequest CPOSPrinter::BitmapRequestNow(int32_t station,
                                                        const std::string& file_name,
                                                        int32_t width, int32_t alignment) const {
  print_data::BitmapRequest request;
  request.station = station;
  request.file_name = file_name;
  request.width = width;
  request.alignment = alignment;
  request.kind = TranslateSettingsNow().kind;
  request.map_mode = properties_.Number(prop::kMapMode);
  request.rec_line_width = properties_.Number(prop::kRecLineWidth);
  request.rec_letter_quality = properties_.Number(kPropRecLetterQuality);
  request.rec_line_spacing = properties_.Number(prop::kRecLineSpacing);
  return request;
}

int32_t CPOSPrinter::PrintBitmap(int32_t station, const std::string& file_name, int32_t width,
                                 int32_t alignment) {
  result_code_extended_ = 0;
  if (!device_enabled_) return Finish(opos::kDisabled);
  if (!claimed_) return Finish(opos::kNotClaimed);
  const print_data::BitmapPrint print =
      print_data::BuildPrintBitmap(BitmapRequestNow(station, file_name, width, alignment));
  if (!print.ok()) {
    result_code_extended_ = print.extended;
    return Finish(print.result);
  }
  int32_t result = opos::kSuccess;
  // The image's definition replaces the stored bitmap in the printer when it is written.
  ImageArea area =
      print.overwrites_download_area ? ImageArea::kOverwritten : ImageArea::kUntouched;
  for (const print_data::Handover& piece : print.handovers) {
    result = SendData(station, piece.bytes, piece.more_follows, BitmapReferences::kKeep, area);
    if (result != opos::kSuccess) break;
    area = ImageArea::kUntouched;
  }
  return Finish(result);
}

int32_t CPOSPrinter::WriteDownloadNow(std::string_view bytes, ImageArea area) {
  if (properties_.Number(opos::kPropAsyncMode) != 1) {
    return SendData(2, bytes, false, BitmapReferences::kKeep, area);
  }
  const uint64_t start = platform::TickCountMs();
  while (output_pending_) {
    if (platform::TickCountMs() - start > kDrainBeforeDownloadMs) {
      result_code_extended_ = 0;
      return opos::kTimeout;
    }
    platform::PumpMessages(kDrainPumpMs);
  }
  properties_.SetNumber(opos::kPropAsyncMode, 0);
  const int32_t result = SendData(2, bytes, false, BitmapReferences::kKeep, area);
  properties_.SetNumber(opos::kPropAsyncMode, 1);
  return result;
}

int32_t CPOSPrinter::SetBitmap(int32_t bitmap_number, int32_t station,
                               const std::string& file_name, int32_t width, int32_t alignment) {
  result_code_extended_ = 0;
  if (!device_enabled_) return Finish(opos::kDisabled);
  if (!claimed_) return Finish(opos::kNotClaimed);
  const print_data::BitmapDownload download = print_data::BuildSetBitmap(
      bitmap_number, BitmapRequestNow(station, file_name, width, alignment));
  if (!download.ok()) {
    if (download.cut_short && ThisBuild().short_bitmap_file_fails) return Finish(opos::kFailure);
    result_code_extended_ = download.extended;
    return Finish(download.result);
  }
  // The slot's new image is not in the printer until its download is written (now, or at
  // the end of an open transaction); writing it marks the slot downloaded.
  bitmap_slots_.Replace(bitmap_number,
                        {file_name, download.bytes, alignment, download.normal_quality});
  const int32_t result = WriteDownloadNow(
      download.bytes, bitmap_number == 2 ? ImageArea::kSlot2 : ImageArea::kSlot1);
  return Finish(result);
}

}  // namespace service_core
