// Helpers shared by the attachment tests: temporary directories, waiting with a generous
// bound, and plain socket and file I/O from the host's side.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vdev::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Polls `condition` until it holds or `limit` passed; returns its last value.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10));

std::string ReadFile(const std::filesystem::path& path);

// Host side: write all bytes; read what arrives within `limit` until `count` bytes came.
bool WriteBytes(int fd, const std::string& bytes);
std::string ReadBytes(int fd, size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));

int ConnectTcp(int port);  // -1 with errno when refused

}  // namespace vdev::testing
