// Where a model's answers go: the descriptor of the current host connection, if any. Shared
// with the model's answer sink, so a late answer after the attachment stopped only finds the
// channel empty.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>

namespace vdev {

class AnswerChannel {
 public:
  // Waiting longer than this for the host to take an answer drops it: a host that never
  // reads must not stall the model.
  static constexpr int kWriteTimeoutMs = 1000;

  void Attach(int fd, bool is_socket);
  void Detach();
  void Write(std::span<const uint8_t> bytes);
  uint64_t DroppedBytes() const;

 private:
  mutable std::mutex mutex_;
  int fd_ = -1;
  bool is_socket_ = false;
  uint64_t dropped_ = 0;
};

}  // namespace vdev
