#include "answer_channel.h"

#include "fd_util.h"

namespace vdev {

void AnswerChannel::Attach(int fd, bool is_socket) {
  std::lock_guard lock(mutex_);
  fd_ = fd;
  is_socket_ = is_socket;
}

void AnswerChannel::Detach() { Attach(-1, false); }

void AnswerChannel::Write(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0 || !WriteAll(fd_, bytes, kWriteTimeoutMs, is_socket_)) dropped_ += bytes.size();
}

uint64_t AnswerChannel::DroppedBytes() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace vdev
