// Test support: running a program as a user would (through the shell, which the thread
// sanitizer supports where a plain fork of a threaded test would not), and counting what
// this process holds.
#pragma once

#include <string>

namespace test_support {

struct CommandRun {
  std::string output;  // standard output and standard error, as the command wrote them
  int exit_code = -1;  // -1 when the command could not run or did not exit normally
};

// Runs `command` through /bin/sh with its standard error joined to its output.
CommandRun RunCommand(const std::string& command);

// Runs `program` with `arguments` (as the shell splits them) where no window can open: no
// display and no Qt platform in its environment, and stopped after 30 s. A program that
// tries to open its window fails at once (or exits 124) instead of hanging the test.
CommandRun RunWithoutDisplay(const std::string& program, const std::string& arguments);

// Open file descriptors and threads of this process, from /proc/self.
int CountOpenDescriptors();
int CountThreads();

}  // namespace test_support
