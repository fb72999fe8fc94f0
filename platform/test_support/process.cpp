#include "test_support/process.h"

#include <dirent.h>
#include <stdio.h>
#include <sys/wait.h>

namespace test_support {

CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

CommandRun RunWithoutDisplay(const std::string& program, const std::string& arguments) {
  return RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 '" + program +
                    "' " + arguments);
}

namespace {
int CountEntries(const char* dir) {
  int count = 0;
  DIR* d = opendir(dir);
  if (!d) return -1;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') ++count;
  }
  closedir(d);
  return count;
}
}  // namespace

int CountOpenDescriptors() { return CountEntries("/proc/self/fd"); }
int CountThreads() { return CountEntries("/proc/self/task"); }

}  // namespace test_support
