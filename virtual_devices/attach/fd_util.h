// Small helpers around POSIX file descriptors for the attachments' I/O threads.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vdev {

// Owns one file descriptor and closes it.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// An eventfd that wakes a thread blocked in poll().
class WakeEvent {
 public:
  WakeEvent();
  int Fd() const { return fd_.Get(); }
  void Signal();
  void Drain();

 private:
  UniqueFd fd_;
};

// Writes all bytes to a non-blocking descriptor, waiting for room at most `timeout_ms` in
// total. False when the descriptor failed or stayed full.
bool WriteAll(int fd, std::span<const uint8_t> bytes, int timeout_ms, bool is_socket);

void SetNonBlocking(int fd);

std::string ErrnoText(const std::string& what);

}  // namespace vdev
