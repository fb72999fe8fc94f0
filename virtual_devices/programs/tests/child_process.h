// Runs a program with pipes on its standard input and output, for the program tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vdev::testing {

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Send(const std::string& line);  // adds the newline
  void CloseInput();
  // The next line of output (without newline), or nothing when none came within `limit`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads lines until one starts with `prefix`; returns it.
  std::optional<std::string> WaitForLine(
      const std::string& prefix, std::chrono::milliseconds limit = std::chrono::seconds(10));
  void Signal(int signal_number);
  // Exit status once the child ended within `limit`; nothing if it still runs.
  std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
  const std::string& StandardError();  // everything written there so far (after Wait)

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string buffer_;
  std::string error_text_;
  bool reaped_ = false;
};

}  // namespace vdev::testing
