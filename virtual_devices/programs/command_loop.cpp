#include "command_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/usb_attachment.h"

namespace vdev {
namespace {

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// Handles one line; false when the loop is to end.
bool HandleLine(std::string line, const CommandHandler& handle, std::FILE* out) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return true;
  line = line.substr(start, line.find_last_not_of(" \t") - start + 1);
  if (line == "quit" || line == "exit") {
    std::fprintf(out, "ok\n");
    std::fflush(out);
    return false;
  }
  std::string reply;
  const bool ok = handle(line, reply);
  if (ok) {
    std::fprintf(out, reply.empty() ? "ok\n" : "ok: %s\n", reply.c_str());
  } else {
    std::fprintf(out, "error: %s\n", reply.empty() ? "command failed" : reply.c_str());
  }
  std::fflush(out);
  return true;
}

}  // namespace

void BlockTerminationSignals() {
  const sigset_t set = TerminationSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

LoopEnd RunCommandLoop(int input_fd, const CommandHandler& handle, std::FILE* out) {
  const sigset_t set = TerminationSignals();
  const int signal_fd = ::signalfd(-1, &set, SFD_CLOEXEC);
  std::string pending;
  LoopEnd end = LoopEnd::EndOfInput;
  for (bool running = true; running;) {
    pollfd fds[2] = {{input_fd, POLLIN, 0}, {signal_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents & POLLIN) {
      end = LoopEnd::Signal;
      break;
    }
    char buffer[1024];
    const ssize_t n = ::read(input_fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (!pending.empty()) running = HandleLine(pending, handle, out);
      end = running ? LoopEnd::EndOfInput : LoopEnd::Quit;
      break;
    }
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t newline; running && (newline = pending.find('\n')) != std::string::npos;) {
      const std::string line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      if (!HandleLine(line, handle, out)) {
        running = false;
        end = LoopEnd::Quit;
      }
    }
    if (pending.size() > 65536) {  // a "line" this long is not a command
      std::fprintf(out, "error: line too long\n");
      std::fflush(out);
      pending.clear();
    }
  }
  if (signal_fd >= 0) ::close(signal_fd);
  return end;
}

std::unique_ptr<Attachment> MakeAttachment(const AttachmentChoice& choice, DeviceModel& model) {
  switch (choice.kind) {
    case AttachmentChoice::Kind::Tcp:
      return std::make_unique<TcpAttachment>(model, TcpOptions{choice.address, choice.port});
    case AttachmentChoice::Kind::Pty:
      return std::make_unique<PtyAttachment>(model, choice.path);
    case AttachmentChoice::Kind::Usb: {
      UsbOptions options;
      options.root = choice.path;
      return std::make_unique<UsbAttachment>(model, options);
    }
    case AttachmentChoice::Kind::None:
      break;
  }
  return nullptr;
}

int ServeDevice(const char* program, Attachment& attachment, const std::string& extra_help) {
  std::string error;
  if (!attachment.Start(error)) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return 1;
  }
  std::printf("listening %s\n", attachment.Where().c_str());
  std::fflush(stdout);
  const LoopEnd end = RunCommandLoop(
      STDIN_FILENO,
      [&](const std::string& line, std::string& reply) {
        if (line == "help") {
          reply = "attachment commands: disconnect, connect, refuse on|off, slow N, baud N, split N MS, quit\n" +
                  extra_help;
          return true;
        }
        return attachment.Command(line, reply);
      },
      stdout);
  attachment.Stop();
  if (end == LoopEnd::Signal) std::fprintf(stderr, "%s: stopped by a signal\n", program);
  return 0;
}

}  // namespace vdev
