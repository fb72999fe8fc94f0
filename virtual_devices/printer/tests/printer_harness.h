// Drives a VirtualPrinter the way a host does: bytes in, answers and print operations out.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_devices/virtual_printer.h"

namespace vdev::testing {

using Bytes = std::vector<uint8_t>;

// Bytes from a string literal that may hold zero bytes: B("\x1D\x61\x00", 3) or B("abc").
Bytes B(std::string_view text);
Bytes Cat(std::initializer_list<Bytes> parts);

// Keeps every print operation, and a one-line description of each for comparisons.
class RecordingSink : public PrintSink {
 public:
  void Print(const PrintOp& op) override;
  void Finish() override;
  std::vector<PrintOp> ops() const;
  std::vector<std::string> descriptions() const;
  int finishes() const;

 private:
  mutable std::mutex mu_;
  std::vector<PrintOp> ops_;
  int finishes_ = 0;
};

std::string DescribeOp(const PrintOp& op);

class Harness {
 public:
  explicit Harness(PrinterConfig config = {});
  // Sends bytes and returns the answers they caused.
  Bytes Send(const Bytes& bytes);
  // Answers received since the last Send or TakeAnswers.
  Bytes TakeAnswers();

  RecordingSink sink;
  VirtualPrinter printer;

 private:
  std::mutex mu_;
  Bytes answers_;
};

}  // namespace vdev::testing
