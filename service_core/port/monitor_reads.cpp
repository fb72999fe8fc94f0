#include "monitor_reads.h"

#include <cstring>

#include "status_block.h"

namespace service_core {

void MonitorReads::Feed(std::span<const uint8_t> fresh, bool thermal) {
  stream_.resize(carried_);
  answers_.clear();
  if (thermal)
    scanner_.Feed(fresh, answers_, stream_);
  else
    stream_.insert(stream_.end(), fresh.begin(), fresh.end());
}

void MonitorReads::CarryIncompleteBlock() {
  if (stream_.size() <= carried_) return;  // nothing new: the carried head stays
  const size_t keep = IncompleteBlockTail(stream_);
  std::memmove(stream_.data(), stream_.data() + stream_.size() - keep, keep);
  carried_ = keep;
  stream_.resize(keep);
}

void MonitorReads::Reset() {
  scanner_.Reset();
  stream_.clear();
  carried_ = 0;
}

}  // namespace service_core
