#include "print_data/bitmap_slots.h"

#include "print_data/bitmap_commands.h"

namespace print_data {

void BitmapSlots::Store(int number, StoredBitmap bitmap, bool downloaded) {
  const size_t index = Index(number);
  {
    std::lock_guard lock(mutex_);
    slots_[index] = std::move(bitmap);
  }
  downloaded_[1 - index] = false;
  downloaded_[index] = downloaded;
}

void BitmapSlots::Replace(int number, StoredBitmap bitmap) {
  const size_t index = Index(number);
  {
    std::lock_guard lock(mutex_);
    slots_[index] = std::move(bitmap);
  }
  downloaded_[index] = false;
}

void BitmapSlots::ForgetDownloads() {
  downloaded_[0] = false;
  downloaded_[1] = false;
}

void BitmapSlots::Clear() {
  std::lock_guard lock(mutex_);
  slots_ = {};
  ForgetDownloads();
}

void BitmapSlots::FreeDownloads() {
  std::lock_guard lock(mutex_);
  for (StoredBitmap& slot : slots_) {
    slot.download.clear();
    slot.download.shrink_to_fit();
  }
  ForgetDownloads();
}

bool BitmapSlots::downloaded(int number) const { return downloaded_[Index(number)]; }

void BitmapSlots::MarkDownloaded(int number) {
  downloaded_[1 - Index(number)] = false;
  downloaded_[Index(number)] = true;
}

std::string BitmapSlots::DownloadBytes(int number) const {
  std::lock_guard lock(mutex_);
  return Filled(Index(number)) ? slots_[Index(number)].download : std::string();
}

std::vector<JobPiece> BitmapSlots::Expand(std::string_view job) const {
  std::vector<JobPiece> pieces(1);
  std::lock_guard lock(mutex_);
  size_t from = 0;
  for (size_t at = job.find("\x1B|"); at != std::string_view::npos; at = job.find("\x1B|", at)) {
    const bool reference =
        at + 3 < job.size() && (job[at + 2] == '1' || job[at + 2] == '2') && job[at + 3] == 'B';
    if (!reference) {
      at += 2;
      continue;
    }
    pieces.back().bytes.append(job.substr(from, at - from));
    const int number = job[at + 2] - '0';
    const StoredBitmap& slot = slots_[Index(number)];
    if (Filled(Index(number))) {
      std::string print(AlignmentCommand(slot.alignment));
      print += slot.normal_quality ? "\x1D/0\x1B\x61\x30" : "\x1D/3\x1B\x61\x30";
      pieces.push_back({number, std::move(print)});
    }
    from = at = at + 4;
  }
  pieces.back().bytes.append(job.substr(from));
  if (pieces.front().bytes.empty() && pieces.size() > 1) pieces.erase(pieces.begin());
  return pieces;
}

bool BitmapSlots::WriteJob(std::string_view job,
                           const std::function<bool(std::string_view)>& write) {
  for (const JobPiece& piece : Expand(job)) {
    if (piece.slot != 0 && !downloaded(piece.slot)) {
      const std::string download = DownloadBytes(piece.slot);
      if (!write(download)) return false;
      MarkDownloaded(piece.slot);
    }
    if (!piece.bytes.empty() && !write(piece.bytes)) return false;
  }
  return true;
}

}  // namespace print_data
