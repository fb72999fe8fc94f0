// Attaches a model to a pseudo-terminal: the host opens a symbolic link that points at the
// slave side as its serial device. A pseudo-terminal has no modem lines, so the model's lines
// are published in a side file "<link>.lines" holding one line "CTS=1 DSR=1 DCD=1 RI=0",
// replaced in one step on every change (see docs/virtual-devices.md).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "virtual_devices/attachment.h"

namespace vdev {

class PseudoTerminal;

class PtyAttachment : public Attachment {
 public:
  PtyAttachment(DeviceModel& model, std::string link_path, bool publish_lines = true);
  ~PtyAttachment() override;

  bool Start(std::string& error) override;
  void Stop() override;
  std::string Where() const override;  // "pty <link path>"

  const std::string& LinkPath() const { return link_path_; }
  std::string LinesPath() const { return link_path_ + ".lines"; }
  std::string SlavePath() const;                             // "/dev/pts/N" while started
  uint64_t LostBytes() const { return lost_bytes_.load(); }  // sent while disconnected
  // The unplugging of a USB device: hands the model every byte the host has written and
  // the model not yet read, then hangs the host's side up in the same step, so that a
  // write either reached the model or fails. A host's write to a USB device returns once
  // the device has the bytes, so they must not vanish with the node. Stop() follows.
  void DeliverWrittenAndHangUp();

  // The side file's line for these lines, with its newline.
  static std::string FormatLines(ModemLines lines);

 protected:
  // "disconnect": the cable is pulled; bytes from the host are lost, answers are not sent
  // and every line reads 0. "connect": plugged in again.
  bool TransportCommand(const std::vector<std::string>& words, bool& ok,
                        std::string& reply) override;
  void IoLoop() override;

 private:
  struct Shared;

  std::string link_path_;
  bool publish_lines_;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<PseudoTerminal> pty_;
  bool started_ = false;
  std::atomic<uint64_t> lost_bytes_{0};
};

}  // namespace vdev
