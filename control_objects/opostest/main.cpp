// opostest [--registry FILE] [SCRIPT]: the scriptable device tester. Reads one command a
// line from SCRIPT or standard input and prints every result, event and message box.
// While it waits for input it keeps this thread's messages flowing, so events print as
// they arrive.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "line_printer.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "platform/release.h"
#include "platform/ui_scripted.h"
#include "tester.h"

namespace {

constexpr size_t kMaxLineBytes = 1 << 20;

int Usage() {
  std::fprintf(stderr, "usage: opostest [--registry FILE] [SCRIPT]\n");
  return 2;
}

// Feeds complete lines to the tester as they arrive, pumping messages in between.
bool RunInput(int fd, opostest::Tester& tester, opostest::LinePrinter& out) {
  bool all_ran = true;
  int line_number = 0;
  std::string pending;
  bool overlong = false;  // skipping the rest of a line that was too long
  bool at_end = false;
  pollfd fds[2] = {{fd, POLLIN, 0}, {platform::QueueFd(), POLLIN, 0}};
  char chunk[4096];

  auto run_line = [&](const std::string& line) {
    ++line_number;
    all_ran = tester.RunLine(line_number, line) && all_ran;
    platform::PumpPendingMessages();
  };

  while (!at_end) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "opostest: poll: %s\n", std::strerror(errno));
      return false;
    }
    if (fds[1].revents & POLLIN) platform::PumpPendingMessages();
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;

    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) {
      if (got < 0) std::fprintf(stderr, "opostest: read: %s\n", std::strerror(errno));
      at_end = true;
      got = 0;
    }
    for (ssize_t i = 0; i < got; ++i) {
      if (chunk[i] != '\n') {
        if (!overlong) pending += chunk[i];
        if (pending.size() > kMaxLineBytes) {
          overlong = true;
          pending.clear();
        }
        continue;
      }
      if (overlong) {
        ++line_number;
        out.Print("error " + std::to_string(line_number) + ": line longer than " +
                  std::to_string(kMaxLineBytes) + " bytes");
        all_ran = false;
        overlong = false;
      } else {
        run_line(pending);
      }
      pending.clear();
    }
  }
  if (overlong) {
    out.Print("error " + std::to_string(line_number + 1) + ": line longer than " +
              std::to_string(kMaxLineBytes) + " bytes");
    all_ran = false;
  } else if (!pending.empty()) {
    run_line(pending);
  }
  return all_ran;
}

}  // namespace

int main(int argc, char** argv) {
  std::string registry_file, script;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--registry") {
      if (++i >= argc) return Usage();
      registry_file = argv[i];
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (arg == "--version") {
      std::printf("opostest %s\n", platform::kReleaseVersion);
      return 0;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Usage();
    } else if (script.empty()) {
      script = arg;
    } else {
      return Usage();
    }
  }
  if (!registry_file.empty()) platform::registry::UseDatabase(registry_file);

  int fd = STDIN_FILENO;
  if (!script.empty() && script != "-") {
    fd = open(script.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "opostest: cannot open %s: %s\n", script.c_str(), std::strerror(errno));
      return 2;
    }
    // A directory opens but cannot be read; it is an unreadable script like any other.
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      std::fprintf(stderr, "opostest: cannot read %s: %s\n", script.c_str(),
                   std::strerror(S_ISDIR(info.st_mode) ? EISDIR : errno));
      close(fd);
      return 2;
    }
  }

  opostest::LinePrinter out(stdout);
  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  ui->on_call = [&out](const platform::ui::ScriptedProvider::Call& call) {
    out.Print(opostest::Tester::DescribeUiCall(call));
  };
  auto previous = platform::ui::Install(ui);
  bool all_ran = false;
  {
    opostest::Tester tester(out, ui);
    all_ran = RunInput(fd, tester, out);
    platform::PumpPendingMessages();
  }
  platform::ui::Install(previous);
  ui->on_call = nullptr;
  if (fd != STDIN_FILENO) close(fd);
  return all_ran ? 0 : 1;
}
