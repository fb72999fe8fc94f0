#include "virtual_devices/pty_attachment.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <vector>

#include "answer_channel.h"
#include "pseudo_terminal.h"
#include "virtual_devices/atomic_file.h"

namespace vdev {

// What the model's callbacks need; they may outlive the attachment.
struct PtyAttachment::Shared {
  AnswerChannel channel;
  std::atomic<bool> connected{true};
  std::mutex lines_mutex;
  std::string lines_path;  // empty: not published
  ModemLines lines;

  void PublishLines(ModemLines now) {
    std::lock_guard lock(lines_mutex);
    lines = now;
    if (lines_path.empty()) return;
    const ModemLines shown = connected ? now : ModemLines{false, false, false, false};
    std::string error;
    WriteFileAtomically(lines_path, FormatLines(shown), error);
  }
};

PtyAttachment::PtyAttachment(DeviceModel& model, std::string link_path, bool publish_lines)
    : Attachment(model),
      link_path_(std::move(link_path)),
      publish_lines_(publish_lines),
      pty_(std::make_unique<PseudoTerminal>()) {}

PtyAttachment::~PtyAttachment() { Stop(); }

std::string PtyAttachment::FormatLines(ModemLines lines) {
  auto bit = [](bool on) { return on ? "1" : "0"; };
  return std::string("CTS=") + bit(lines.cts) + " DSR=" + bit(lines.dsr) +
         " DCD=" + bit(lines.dcd) + " RI=" + bit(lines.ri) + "\n";
}

std::string PtyAttachment::Where() const { return "pty " + link_path_; }

std::string PtyAttachment::SlavePath() const { return pty_->SlavePath(); }

bool PtyAttachment::Start(std::string& error) {
  if (started_) return true;
  if (link_path_.empty()) return error = "no path given for the pseudo-terminal link", false;
  if (!pty_->Open(error)) return false;
  if (!ReplaceSymlink(pty_->SlavePath(), link_path_, error)) {
    pty_->Close();
    return false;
  }
  shared_ = std::make_shared<Shared>();
  shared_->channel.Attach(pty_->Master(), false);
  if (publish_lines_) shared_->lines_path = LinesPath();
  shared_->PublishLines(model_.Lines());
  std::shared_ptr<Shared> shared = shared_;
  std::shared_ptr<LinePacing> pacing = pacing_;
  model_.SetAnswerSink([shared, pacing](std::span<const uint8_t> bytes) {
    pacing->Answer(bytes, [shared](std::span<const uint8_t> part) {
      if (shared->connected) shared->channel.Write(part);
    });
  });
  model_.SetLinesChanged([shared](ModemLines lines) { shared->PublishLines(lines); });
  started_ = true;
  StartIoThread();
  return true;
}

void PtyAttachment::Stop() {
  if (!started_) return;
  StopIoThread();
  model_.SetAnswerSink([](std::span<const uint8_t>) {});
  model_.SetLinesChanged([](ModemLines) {});
  shared_->channel.Detach();
  RemoveSymlinkIfPointsTo(link_path_, pty_->SlavePath());
  if (publish_lines_) ::unlink(LinesPath().c_str());
  pty_->Close();
  started_ = false;
}

bool PtyAttachment::TransportCommand(const std::vector<std::string>& words, bool& ok,
                                     std::string& reply) {
  if (words.size() != 1 || (words[0] != "disconnect" && words[0] != "connect")) {
    if (words[0] == "refuse") {
      ok = false;
      reply = "refuse: only a TCP attachment refuses connections";
      return true;
    }
    return false;
  }
  ok = true;
  if (!started_) return true;
  shared_->connected = (words[0] == "connect");
  shared_->PublishLines(model_.Lines());
  return true;
}

void PtyAttachment::DeliverWrittenAndHangUp() {
  if (!started_) return;
  // The cable goes now: a host still writing is cut off where it is, and only what it
  // wrote before reaches the printer.
  pty_->HoldHostOutput();
  RunOnIoThread([this] {
    // Everything at once, after the bytes a slowed-down delivery still holds; that delivery
    // may be the one this request interrupts, and finds nothing left when it goes on.
    // The kernel moves what the host wrote to the master side from a work queue, so a
    // write that has returned may not be readable yet on a loaded machine: the master is
    // read until it has been quiet for a while, not only until it is empty.
    constexpr int kQuietMs = 150;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    std::vector<uint8_t> written;
    uint8_t buffer[4096];
    while (std::chrono::steady_clock::now() < give_up) {
      const ssize_t n = ::read(pty_->Master(), buffer, sizeof buffer);
      if (n > 0) {
        if (shared_->connected) written.insert(written.end(), buffer, buffer + n);
        continue;
      }
      pollfd readable{pty_->Master(), POLLIN, 0};
      if (::poll(&readable, 1, kQuietMs) <= 0 || !(readable.revents & POLLIN)) break;
    }
    // The pseudo-terminal's master is swapped for /dev/null under the same descriptor
    // number: the host's side hangs up (its writes fail from now on) while this thread and
    // the answer channel keep a valid descriptor until Stop() closes it.
    const int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null_fd >= 0) {
      ::dup3(null_fd, pty_->Master(), O_CLOEXEC);
      ::close(null_fd);
    }
    DeliverAllNow(written);
  });
}

void PtyAttachment::IoLoop() {
  uint8_t buffer[4096];
  while (!Stopping()) {
    pollfd fds[2] = {{WakeFd(), POLLIN, 0}, {pty_->Master(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[0].revents) {
      DrainWake();
      RunPendingRequests();
      continue;
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = ::read(pty_->Master(), buffer, sizeof buffer);
      if (n > 0 && shared_->connected) {
        Deliver(std::span(buffer, static_cast<size_t>(n)));
      } else if (n > 0) {
        lost_bytes_ += static_cast<uint64_t>(n);
      }
      if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR))) continue;
    }
    // Hang-up or error on the master: wait for the stop rather than spin.
    pollfd wake{WakeFd(), POLLIN, 0};
    ::poll(&wake, 1, 100);
  }
}

}  // namespace vdev
