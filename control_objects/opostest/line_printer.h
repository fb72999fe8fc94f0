// Writes whole output lines; events and message boxes may come from other threads.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace opostest {

class LinePrinter {
 public:
  explicit LinePrinter(FILE* out) : out_(out) {}
  void Print(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  }

 private:
  std::mutex mutex_;
  FILE* out_;
};

}  // namespace opostest
