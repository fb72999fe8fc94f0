// An attachment carries bytes between a host and a device model over some transport
// (pseudo-terminal, TCP, fake USB printer). It owns its I/O thread, answers the model's
// output to the host, and takes the commands that concern the connection itself.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "virtual_devices/device_model.h"

namespace vdev {

class Attachment {
 public:
  explicit Attachment(DeviceModel& model);
  virtual ~Attachment();
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

  // Opens the transport and starts the I/O thread; false with a message on failure.
  virtual bool Start(std::string& error) = 0;
  // Stops the thread and closes the transport; safe to call twice, never hangs.
  virtual void Stop() = 0;
  // Where a host finds the device, for the programs' ready line: "tcp 127.0.0.1:9100", ...
  virtual std::string Where() const = 0;

  // One command line from a person or a test. The transport's own commands, "slow N" (N ms
  // pause before each byte from the host reaches the model, 0 for full speed), "baud N" (the
  // host's bytes reach the model at the pace of a serial line of N baud, 10 bits a byte; 0
  // for full speed) and "split N MS" (answers go out in pieces of at most N bytes, MS ms
  // apart; 0 for whole answers) are handled here; everything else goes to the model. False
  // with a message when refused or unknown. Not to be called while Start or Stop runs on
  // another thread.
  bool Command(const std::string& line, std::string& reply);

  int SlowMs() const { return slow_ms_.load(); }
  int Baud() const { return pacing_->baud.load(); }

  // How the attachment paces the line; shared with the model's answer sink, which may
  // outlive the attachment.
  class LinePacing {
   public:
    ~LinePacing();
    std::atomic<int> baud{0};
    std::atomic<int> answer_piece{0};
    std::atomic<int> answer_gap_ms{0};
    // Sends an answer through `write`: at once on a line at full speed, otherwise in order
    // from a thread of its own, so a slow answer does not hold up the bytes from the host
    // (a serial line carries both directions at once).
    void Answer(std::span<const uint8_t> bytes,
                std::function<void(std::span<const uint8_t>)> write);

   private:
    void Run();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<std::vector<uint8_t>, std::function<void(std::span<const uint8_t>)>>>
        queue_;
    bool stop_ = false;
    std::thread thread_;
  };
  DeviceModel& Model() { return model_; }

 protected:
  // The transport's commands ("disconnect", "refuse on", ...): true when `words` named one
  // of them, with the outcome in `ok` and `reply`.
  virtual bool TransportCommand(const std::vector<std::string>& words, bool& ok,
                                std::string& reply);

  void StartIoThread();
  void StopIoThread();  // the I/O thread sees Stopping() and returns; then it is joined
  virtual void IoLoop() = 0;
  bool Stopping() const { return stopping_.load(); }
  int WakeFd() const { return wake_fd_; }
  void DrainWake();

  // Runs `fn` on the I/O thread (which owns the descriptors) and waits for it; runs it here
  // when the thread is not running.
  void RunOnIoThread(const std::function<void()>& fn);
  void RunPendingRequests();  // called by the I/O thread whenever it wakes

  // Passes bytes from the host to the model, pausing before each byte while slowed down
  // and at the pace of the line while a baud rate is set. I/O thread only. Bytes given
  // while an earlier call still delivers (from a request run during its pauses) follow the
  // bytes it holds: every byte reaches the model once, in the order the host wrote them.
  void Deliver(std::span<const uint8_t> bytes);
  // Hands the model every byte not yet delivered, then `bytes`, at once and in order: what
  // the host wrote before the device goes away (I/O thread only).
  void DeliverAllNow(std::span<const uint8_t> bytes);
  // Writes an answer through `write`, in pieces and at the line's pace as set.
  static void SendAnswer(const LinePacing& pacing, std::span<const uint8_t> bytes,
                         const std::function<void(std::span<const uint8_t>)>& write);
  std::shared_ptr<LinePacing> pacing_ = std::make_shared<LinePacing>();

  DeviceModel& model_;

 private:
  struct Request {
    std::function<void()> fn;
    bool done = false;
  };
  void Wake();

  int wake_fd_ = -1;
  std::thread io_thread_;
  std::thread::id io_thread_id_;
  bool running_ = false;  // guarded by mutex_: requests may be queued for the thread
  std::atomic<bool> stopping_{false};
  std::atomic<int> slow_ms_{0};
  // When the next byte may reach the model on a paced line (I/O thread only).
  std::chrono::steady_clock::time_point line_free_at_{};
  // Waits until `until`, running requests for the I/O thread meanwhile; false on stop.
  bool PauseUntil(std::chrono::steady_clock::time_point until);
  // The pause before one byte while slowed down, running requests meanwhile; false on stop.
  bool PauseBeforeSlowByte();
  // Bytes from the host not handed to the model yet, and whether a Deliver call is handing
  // them over (I/O thread only).
  std::deque<uint8_t> undelivered_;
  bool delivering_ = false;
  std::mutex
      mutex_;  // guards requests_ and running_; the condition wakes pauses and request waiters
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Request>> requests_;
};

// Splits a command line into words separated by blanks.
std::vector<std::string> SplitWords(const std::string& line);

}  // namespace vdev
