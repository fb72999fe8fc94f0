#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace vdev::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool ChildProcess::Send(const std::string& line) {
  const std::string text = line + "\n";
  return in_ >= 0 && ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::CloseInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return std::nullopt;
    char chunk[512];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

std::optional<std::string> ChildProcess::WaitForLine(const std::string& prefix,
                                                     std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    auto line = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()));
    if (!line) return std::nullopt;
    if (line->rfind(prefix, 0) == 0) return line;
  }
  return std::nullopt;
}

void ChildProcess::Signal(int signal_number) {
  if (pid_ > 0 && !reaped_) ::kill(pid_, signal_number);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

const std::string& ChildProcess::StandardError() {
  char chunk[512];
  for (;;) {
    pollfd p{err_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) break;
    const ssize_t n = ::read(err_, chunk, sizeof chunk);
    if (n <= 0) break;
    error_text_.append(chunk, static_cast<size_t>(n));
  }
  return error_text_;
}

}  // namespace vdev::testing
