// The two stored bitmaps of SetBitmap, which print data refers to with "\x1B|1B" and
// "\x1B|2B", and which of them the printer's single downloaded-image area holds.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace print_data {

struct StoredBitmap {
  std::string file_name;  // empty: the slot is empty
  std::string download;   // GS * x y and the column image
  int32_t alignment = -2;
  bool normal_quality = true;
};

// A piece of a job as written: when `slot` is not 0, that slot's image must be in the
// printer (downloaded first if it is not) before `bytes` are written.
struct JobPiece {
  int slot = 0;
  std::string bytes;
};

// Shared by the caller's thread (SetBitmap, PrintBitmap), the output worker (expansion) and
// the port monitor (power loss); every member is safe to call from any of them.
class BitmapSlots {
 public:
  // SetBitmap step 4: replaces slot `number` (1 or 2); it is marked downloaded when the
  // download was written, and the other slot is not in the printer any more in any case.
  void Store(int number, StoredBitmap bitmap, bool downloaded);
  // Replaces slot `number` with an image the printer does not hold yet; the other slot's
  // flag is left to whoever writes the download.
  void Replace(int number, StoredBitmap bitmap);
  // PrintBitmap on the thermal model, the health-check test page and power loss.
  void ForgetDownloads();
  // ClaimDevice: both slots empty.
  void Clear();
  // ReleaseDevice: download bytes freed, so both slots count as empty.
  void FreeDownloads();

  bool downloaded(int number) const;
  // A write of `number`'s download bytes succeeded.
  void MarkDownloaded(int number);
  // Copy of a slot's download bytes (empty for an empty slot).
  std::string DownloadBytes(int number) const;

  // Splits a job at its bitmap references. Each reference to a filled slot becomes the
  // slot's alignment, GS / "0" or "3", ESC a "0", in a piece that needs that slot in the
  // printer; a reference to an empty slot is removed. Both references are expanded, in
  // order, each downloading its image when the other one is in the printer.
  std::vector<JobPiece> Expand(std::string_view job) const;

  // Writes a job through `write` (false: the write failed and nothing more is written),
  // downloading each referenced image that the printer does not hold. Returns false when a
  // write failed.
  bool WriteJob(std::string_view job, const std::function<bool(std::string_view)>& write);

 private:
  static size_t Index(int number) { return number == 2 ? 1 : 0; }
  bool Filled(size_t index) const {
    return !slots_[index].file_name.empty() && !slots_[index].download.empty();
  }

  mutable std::mutex mutex_;  // guards slots_
  std::array<StoredBitmap, 2> slots_;
  std::array<std::atomic<bool>, 2> downloaded_{};
};

}  // namespace print_data
