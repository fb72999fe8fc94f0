// A claimed and enabled printer on a virtual thermal printer, with the events it raises and
// the bytes the printer received since a mark.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control_objects/opos_codes.h"
#include "platform/message_queue.h"
#include "printer_fixture.h"

namespace service_core::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(std::string_view s) { return {s.begin(), s.end()}; }
inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// GS ( H asking for a process identifier. Each request carries an identifier of its own;
// Received() shows every one as "FFFF", so expected bytes can be written down.
inline const Bytes kCompletionRequest = {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30,
                                         0x30, 0x46, 0x46, 0x46, 0x46};
// DLE DC4 8: the real-time buffer clear.
inline const Bytes kClearBuffers = {0x10, 0x14, 0x08, 0x01, 0x03, 0x14, 0x01, 0x06, 0x02, 0x08};

// `bytes` with the identifier of every completion request replaced by "FFFF".
inline Bytes WithPlainIdentifiers(Bytes bytes) {
  for (size_t i = 0; i + kCompletionRequest.size() <= bytes.size(); ++i) {
    if (std::equal(kCompletionRequest.begin(), kCompletionRequest.begin() + 7, bytes.begin() + i))
      std::fill(bytes.begin() + i + 7, bytes.begin() + i + 11, 0x46);
  }
  return bytes;
}
// How often `part` occurs in `bytes`.
inline size_t CountOf(const Bytes& bytes, const Bytes& part) {
  size_t n = 0;
  for (auto at = std::search(bytes.begin(), bytes.end(), part.begin(), part.end());
       at != bytes.end(); at = std::search(at + 1, bytes.end(), part.begin(), part.end())) {
    ++n;
  }
  return n;
}

// DirectIO 111's bytes: justification, NV image `image`, line feed.
inline Bytes NvImage(char justification, uint8_t image) {
  return {0x1B, 0x61, static_cast<uint8_t>(justification), 0x1C, 0x70, image, 0x30, 0x0A};
}

class EnabledPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("Receipt1", device_->attachment.LinkPath(), "Thermal42", "", "Unit1");
    printer_ = OpenPrinter("Unit1");
    printer_->on_output_complete = [this](int32_t id) { outputs_.push_back(id); };
    printer_->on_status_update = [this](int32_t data) { statuses_.push_back(data); };
    ASSERT_EQ(printer_->ClaimDevice(1000), 0);
    printer_->SetDeviceEnabled(true);
    ASSERT_EQ(printer_->ResultCode(), 0);
    Mark();
  }
  void TearDown() override {
    printer_->Close();
    printer_ = {};
  }

  void Mark() { mark_ = device_->printer.Capture().size(); }
  // What the printer received since the mark, without the status-back requests (GS a FF)
  // the link sends on its own to a printer that went offline.
  Bytes Received() const {
    const Bytes all = device_->printer.Capture();
    Bytes out;
    for (size_t i = std::min(mark_, all.size()); i < all.size(); ++i) {
      if (i + 2 < all.size() && all[i] == 0x1D && all[i + 1] == 0x61 && all[i + 2] == 0xFF) {
        i += 2;
        continue;
      }
      out.push_back(all[i]);
    }
    return WithPlainIdentifiers(out);
  }
  // Pumps until `count` bytes arrived after the mark, then a little longer so that any
  // byte too many shows.
  Bytes ReceivedWhenAtLeast(size_t count) {
    PumpUntil([&] { return Received().size() >= count; }, 15000);
    platform::PumpMessages(300);
    return Received();
  }
  int32_t DirectIO(int32_t command, int32_t data, std::string text) {
    return printer_->DirectIO(command, data, text);
  }
  // Asks CheckHealth(1) until the service object sees the condition it gives.
  bool WaitForHealth(int32_t result, int32_t extended = 0, uint32_t limit_ms = 5000) {
    return PumpUntil(
        [&] {
          return printer_->CheckHealth(1) == result &&
                 (extended == 0 || printer_->ResultCodeExtended() == extended);
        },
        limit_ms);
  }
  void SetAsync() {
    printer_->SetAsyncMode(true);
    ASSERT_EQ(printer_->ResultCode(), 0);
  }

  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
  opos::control::ObjectRef<opos::control::POSPrinter> printer_;
  std::vector<int32_t> outputs_;
  std::vector<int32_t> statuses_;
  size_t mark_ = 0;
};

}  // namespace service_core::testing
