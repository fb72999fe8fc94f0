#include "virtual_devices/attachment.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>
#include <stdexcept>

#include "fd_util.h"

namespace vdev {
namespace {
constexpr int kMaxSlowMs = 10000;
}  // namespace

std::vector<std::string> SplitWords(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

Attachment::Attachment(DeviceModel& model) : model_(model) {
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) throw std::runtime_error(ErrnoText("eventfd"));
}

Attachment::~Attachment() {
  // Subclasses stop their thread in their own destructor; this is the last line of defence.
  StopIoThread();
  ::close(wake_fd_);
}

bool Attachment::Command(const std::string& line, std::string& reply) {
  reply.clear();
  const auto words = SplitWords(line);
  if (words.empty()) {
    reply = "empty command";
    return false;
  }
  bool ok = false;
  if (TransportCommand(words, ok, reply)) return ok;
  if (words[0] == "baud" || words[0] == "split") {
    auto number = [](const std::string& word, int& value) {
      try {
        size_t used = 0;
        value = std::stoi(word, &used);
        return used == word.size() && value >= 0;
      } catch (const std::exception&) {
        return false;
      }
    };
    int first = -1, second = 0;
    if (words[0] == "baud") {
      if (words.size() != 2 || !number(words[1], first) || (first != 0 && first < 50) ||
          first > 1000000) {
        reply = "usage: baud N (50 to 1000000 bits a second, 0 for full speed)";
        return false;
      }
      pacing_->baud = first;
      return true;
    }
    if (words.size() < 2 || words.size() > 3 || !number(words[1], first) ||
        (words.size() == 3 && !number(words[2], second)) || second > kMaxSlowMs) {
      reply = "usage: split N [MS] (answers in pieces of N bytes, MS ms apart; 0 for whole)";
      return false;
    }
    pacing_->answer_piece = first;
    pacing_->answer_gap_ms = second;
    return true;
  }
  if (words[0] == "slow") {
    int ms = -1;
    if (words.size() == 2) {
      try {
        size_t used = 0;
        ms = std::stoi(words[1], &used);
        if (used != words[1].size()) ms = -1;
      } catch (const std::exception&) {
        ms = -1;
      }
    }
    if (ms < 0 || ms > kMaxSlowMs) {
      reply = "usage: slow N (milliseconds per byte, 0 to " + std::to_string(kMaxSlowMs) + ")";
      return false;
    }
    slow_ms_ = ms;
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();  // a pause in progress takes the new setting
    return true;
  }
  return model_.Command(line, reply);
}

bool Attachment::TransportCommand(const std::vector<std::string>&, bool&, std::string&) {
  return false;
}

void Attachment::StartIoThread() {
  stopping_ = false;
  DrainWake();
  // Bytes a stopped session had not handed over belong to no host now.
  undelivered_.clear();
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  io_thread_ = std::thread([this] {
    {
      std::lock_guard lock(mutex_);
      io_thread_id_ = std::this_thread::get_id();
    }
    IoLoop();
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    RunPendingRequests();
  });
}

void Attachment::StopIoThread() {
  if (io_thread_.joinable()) {
    stopping_ = true;
    Wake();
    io_thread_.join();
  }
}

void Attachment::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

void Attachment::DrainWake() {
  uint64_t value;
  [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &value, sizeof value);
}

void Attachment::RunOnIoThread(const std::function<void()>& fn) {
  std::unique_lock lock(mutex_);
  if (!running_ || std::this_thread::get_id() == io_thread_id_) {
    lock.unlock();
    fn();
    return;
  }
  auto request = std::make_shared<Request>();
  request->fn = fn;
  requests_.push_back(request);
  lock.unlock();
  Wake();
  lock.lock();
  changed_.wait(lock, [&] { return request->done; });
}

void Attachment::RunPendingRequests() {
  std::unique_lock lock(mutex_);
  while (!requests_.empty()) {
    auto request = requests_.front();
    requests_.pop_front();
    lock.unlock();
    request->fn();
    lock.lock();
    request->done = true;
    changed_.notify_all();
  }
}

bool Attachment::PauseUntil(std::chrono::steady_clock::time_point until) {
  std::unique_lock lock(mutex_);
  while (!Stopping()) {
    changed_.wait_until(lock, until, [&] { return Stopping() || !requests_.empty(); });
    if (!requests_.empty()) {
      lock.unlock();
      RunPendingRequests();
      lock.lock();
      continue;
    }
    if (std::chrono::steady_clock::now() >= until) break;
  }
  return !Stopping();
}

void Attachment::SendAnswer(const LinePacing& pacing, std::span<const uint8_t> bytes,
                            const std::function<void(std::span<const uint8_t>)>& write) {
  const size_t piece = pacing.answer_piece > 0 ? size_t(pacing.answer_piece.load()) : bytes.size();
  const int baud = pacing.baud;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const std::span<const uint8_t> part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    if (at > 0 && pacing.answer_gap_ms > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(pacing.answer_gap_ms.load()));
    // The answer takes its time on a paced line before the host sees it.
    if (baud > 0) std::this_thread::sleep_for(std::chrono::microseconds(part.size() * 10'000'000LL / baud));
    write(part);
  }
}

Attachment::LinePacing::~LinePacing() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Attachment::LinePacing::Answer(std::span<const uint8_t> bytes,
                                    std::function<void(std::span<const uint8_t>)> write) {
  std::unique_lock lock(mutex_);
  if (queue_.empty() && baud == 0 && answer_piece == 0) {
    lock.unlock();
    write(bytes);
    return;
  }
  queue_.emplace_back(std::vector<uint8_t>(bytes.begin(), bytes.end()), std::move(write));
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  wake_.notify_all();
}

void Attachment::LinePacing::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    auto [bytes, write] = std::move(queue_.front());
    lock.unlock();
    SendAnswer(*this, bytes, write);
    lock.lock();
    queue_.pop_front();
  }
}

void Attachment::Deliver(std::span<const uint8_t> bytes) {
  undelivered_.insert(undelivered_.end(), bytes.begin(), bytes.end());
  // Called again from a request run during one of the pauses below (bytes the host wrote
  // later): the loop that runs takes them after the ones it holds, in the order written.
  if (delivering_) return;
  delivering_ = true;
  using Clock = std::chrono::steady_clock;
  while (!undelivered_.empty() && !Stopping()) {
    size_t due = undelivered_.size();
    if (slow_ms_ == 0 && pacing_->baud > 0) {
      // A serial line: each byte takes 10 bit times, so the model sees what arrived by now.
      const auto byte_time = std::chrono::nanoseconds(10'000'000'000LL / pacing_->baud);
      const auto now = Clock::now();
      if (line_free_at_ < now) line_free_at_ = now;
      if (line_free_at_ > now && !PauseUntil(line_free_at_)) break;
      const auto late = Clock::now() - line_free_at_;
      due = std::min<size_t>(undelivered_.size(), 1 + size_t(late / byte_time));
      line_free_at_ += byte_time * static_cast<int64_t>(due);
    } else if (slow_ms_ != 0) {
      if (!PauseBeforeSlowByte()) break;
      due = 1;
    }
    // A request run during the pause may have handed everything over already.
    due = std::min(due, undelivered_.size());
    if (due == 0) continue;
    const std::vector<uint8_t> part(undelivered_.begin(),
                                    undelivered_.begin() + static_cast<std::ptrdiff_t>(due));
    undelivered_.erase(undelivered_.begin(), undelivered_.begin() + static_cast<std::ptrdiff_t>(due));
    model_.Receive(part);
  }
  delivering_ = false;
}

void Attachment::DeliverAllNow(std::span<const uint8_t> bytes) {
  undelivered_.insert(undelivered_.end(), bytes.begin(), bytes.end());
  if (undelivered_.empty()) return;
  const std::vector<uint8_t> all(undelivered_.begin(), undelivered_.end());
  undelivered_.clear();
  model_.Receive(all);
}

bool Attachment::PauseBeforeSlowByte() {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(slow_ms_.load());
  std::unique_lock lock(mutex_);
  while (!Stopping() && slow_ms_ != 0) {
    changed_.wait_until(lock, until,
                        [&] { return Stopping() || slow_ms_ == 0 || !requests_.empty(); });
    if (!requests_.empty()) {
      lock.unlock();
      RunPendingRequests();
      lock.lock();
      continue;
    }
    if (Clock::now() >= until) break;
  }
  return !Stopping();
}

}  // namespace vdev
