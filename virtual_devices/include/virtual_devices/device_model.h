// A device model is fed the bytes the host sends and answers through a sink; attachments
// (pseudo-terminal, TCP, fake USB printer) carry bytes between a host and a model.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vdev {

// Modem lines as the device drives them, seen from the host.
struct ModemLines {
  bool cts = true;  // clear to send: low while the printer is switched off
  bool dsr = true;  // data set ready: the display's ready line
  bool dcd = true;
  bool ri = false;
  bool operator==(const ModemLines&) const = default;
};

class DeviceModel {
 public:
  using AnswerSink = std::function<void(std::span<const uint8_t>)>;

  virtual ~DeviceModel() = default;
  // Bytes from the host. Thread-safe; never blocks on the answer sink's reader.
  virtual void Receive(std::span<const uint8_t> bytes) = 0;
  // Where the device's own bytes go (status answers, automatic status back). The sink is
  // called without the model's lock held and must not call back into the model.
  virtual void SetAnswerSink(AnswerSink sink) = 0;
  virtual ModemLines Lines() const = 0;
  // Called whenever Lines() may have changed.
  virtual void SetLinesChanged(std::function<void(ModemLines)> callback) = 0;
  // A state-change command typed by a person or a test ("cover open", "paper out", ...).
  // Returns false with a message in `reply` when the command is unknown.
  virtual bool Command(const std::string& line, std::string& reply) = 0;
};

}  // namespace vdev
