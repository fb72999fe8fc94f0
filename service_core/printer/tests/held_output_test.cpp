// What the application is told must match what the paper shows. A printer that stops in the
// middle of a job (cover, paper, no answers) keeps the rest of it in its buffer and prints
// it when it is back; asynchronous requests are written ahead of their confirmations; the
// printer's answers may come in pieces. These tests count the lines the virtual printer
// actually printed against the events the application received.
#include <algorithm>
#include <map>
#include <mutex>
#include <numeric>
#include <thread>

#include "output_fixture.h"
#include "platform/event.h"

namespace service_core::testing {
namespace {

struct ErrorSeen {
  int32_t result, extended;
};

class HeldOutputTest : public EnabledPrinterTest {
 protected:
  void SetUp() override {
    EnabledPrinterTest::SetUp();
    device_->printer.SetPrintSink(&lines_);
    SetAsync();
  }
  void TearDown() override {
    EnabledPrinterTest::TearDown();
    device_->printer.SetPrintSink(nullptr);
  }
  void OnError(std::function<int32_t()> answer) {
    printer_->on_error = [this, answer](int32_t rc, int32_t ext, int32_t, int32_t& resp) {
      errors_.push_back({rc, ext});
      resp = answer();
    };
  }
  // A job of `count` numbered lines "<name> <n>".
  static std::string Job(const std::string& name, int count) {
    std::string data;
    for (int i = 1; i <= count; ++i) data += name + " " + std::to_string(i) + "\n";
    return data;
  }
  // Every line of the job printed exactly `times` times.
  void ExpectPrinted(const std::string& name, int count, int times) {
    for (int i = 1; i <= count; ++i) {
      EXPECT_EQ(lines_.Count(name + " " + std::to_string(i)), times) << name << " " << i;
    }
  }
  // Waits until the printer holds (has received but not printed) some of the data.
  bool PrinterHoldsData() {
    return PumpUntil([&] { return device_->printer.Status().buffered_bytes > 0; }, 10000);
  }

  PrintedLines lines_;
  std::vector<ErrorSeen> errors_;
};

TEST_F(HeldOutputTest, PrinterThatPrintsWhatItHeldCompletesTheRequestOnce) {
  // Cover opened half-way through a 30-line job on a slow line: the printer keeps the rest
  // and the completion request, and prints them when the cover closes, while the
  // application is still being told about the error. Retry must not print it again.
  device_->Set("baud 2400");
  OnError([this] {
    device_->Set("cover close");
    EXPECT_TRUE(WaitForHealth(0));
    return opos::kErRetry;
  });
  ASSERT_EQ(printer_->PrintNormal(2, Job("cover", 30)), 0);
  ASSERT_TRUE(PumpUntil([&] { return lines_.Count("cover 5") == 1; }, 10000));
  device_->Set("cover open");
  ASSERT_TRUE(PumpUntil([&] { return !outputs_.empty(); }, 30000));
  platform::PumpMessages(1500);
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_EQ(outputs_, std::vector<int32_t>{1});
  ExpectPrinted("cover", 30, 1);
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
}

TEST_F(HeldOutputTest, ClearDropsWhatThePrinterStillHolds) {
  // Paper out half-way: the application drops the request. The rest of it is still in the
  // printer's buffer; it must not print once paper is back.
  device_->Set("baud 2400");
  OnError([] { return opos::kErClear; });
  ASSERT_EQ(printer_->PrintNormal(2, Job("paper", 30)), 0);
  ASSERT_TRUE(PumpUntil([&] { return lines_.Count("paper 5") == 1; }, 10000));
  device_->Set("paper out");
  ASSERT_TRUE(PumpUntil([&] { return !errors_.empty(); }, 10000));
  EXPECT_EQ(errors_[0].extended, 203);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(Received(), kClearBuffers) == 1; }));
  device_->Set("baud 0");
  const int printed = lines_.Total();
  EXPECT_LT(printed, 30);
  device_->Set("paper in");
  platform::PumpMessages(1500);
  EXPECT_EQ(lines_.Total(), printed);
  EXPECT_TRUE(outputs_.empty());

  // The next request prints whole.
  ASSERT_EQ(printer_->PrintNormal(2, Job("next", 3)), 0);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 15000));
  EXPECT_EQ(outputs_, std::vector<int32_t>{2});
  ExpectPrinted("next", 3, 1);
}

TEST_F(HeldOutputTest, ClearOutputInTheErrorWaitWithEventsFrozenDropsHeldDataAndEvents) {
  device_->Set("baud 2400");
  ASSERT_EQ(printer_->PrintNormal(2, Job("first", 2)), 0);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 15000));
  // With events frozen the output-complete of the next request and the error wait behind
  // the freeze; ClearOutput in the error wait discards both and what the printer holds.
  printer_->SetFreezeEvents(true);
  EXPECT_EQ(printer_->FreezeEvents(), 1);
  ASSERT_EQ(printer_->PrintNormal(2, Job("held", 30)), 0);
  ASSERT_TRUE(PumpUntil([&] { return lines_.Count("held 3") == 1; }, 10000));
  device_->Set("cover open");
  ASSERT_TRUE(PumpUntil([&] { return printer_->CheckHealth(1) == opos::kExtended; }));
  platform::PumpMessages(700);  // the worker reaches its error wait
  EXPECT_EQ(printer_->ClearOutput(), 0);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(Received(), kClearBuffers) == 1; }));
  device_->Set("baud 0");
  const int printed = lines_.Total();
  device_->Set("cover close");
  printer_->SetFreezeEvents(false);
  platform::PumpMessages(1500);
  EXPECT_EQ(lines_.Total(), printed);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(outputs_, std::vector<int32_t>{1});
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
}

TEST_F(HeldOutputTest, RetryIntoAPrinterThatStaysOpenIsPacedByTheStatusRounds) {
  device_->Set("cover open");
  ASSERT_TRUE(WaitForHealth(opos::kExtended));
  uint64_t first_error_ms = 0;
  OnError([&] {
    if (first_error_ms == 0) first_error_ms = platform::TickCountMs();
    return opos::kErRetry;
  });
  const uint64_t start = platform::TickCountMs();
  ASSERT_EQ(printer_->PrintNormal(2, "waits\n"), 0);
  ASSERT_TRUE(PumpUntil([&] { return !errors_.empty(); }));
  platform::PumpMessages(3000);
  const size_t raised = errors_.size();
  // About one a status round (500 ms), never a flood; the first one at once.
  EXPECT_GE(raised, 3u);
  EXPECT_LE(raised, 9u);
  EXPECT_LT(first_error_ms - start, 1500u);
  for (const ErrorSeen& e : errors_) EXPECT_EQ(e.extended, 201);
  device_->Set("cover close");
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 15000));
  EXPECT_EQ(lines_.Count("waits"), 1);
}

TEST_F(HeldOutputTest, AnswersInPiecesAndBetweenStatusBlocksAreSeen) {
  // Answers cut in three pieces, 70 ms apart, so the link's reads cut them (it reads every
  // 50 ms while it waits); the cover changes in between add status blocks around them.
  device_->Set("split 3 70");
  for (int i = 1; i <= 4; ++i) ASSERT_EQ(printer_->PrintNormal(2, Job("piece", i)), 0);
  const uint64_t start = platform::TickCountMs();
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 4; }, 30000));
  // A missed answer is only found again by the request sent 10 s later.
  EXPECT_LT(platform::TickCountMs() - start, 8000u);
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(CountOf(Received(), kCompletionRequest), 4u);
}

TEST_F(HeldOutputTest, SilentPrinterIsAnErrorAfterThreeRequestsAndRetryDoesNotReprint) {
  // The printer prints but does not answer: after three completion requests (30 s) the
  // application is told. It answers retry once the printer answers again; the printer
  // confirms it printed everything, so nothing prints twice.
  device_->Set("answers off");
  OnError([this] {
    device_->Set("answers on");
    return opos::kErRetry;
  });
  ASSERT_EQ(printer_->PrintNormal(2, Job("silent", 30)), 0);
  ASSERT_TRUE(PumpUntil([&] { return !errors_.empty(); }, 45000));
  EXPECT_EQ(errors_[0].result, opos::kFailure);
  EXPECT_EQ(errors_[0].extended, 100003);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 10000));
  platform::PumpMessages(500);
  // Three requests for the job, and one more that asked whether it was printed.
  EXPECT_EQ(CountOf(Received(), kCompletionRequest), 4u);
  ExpectPrinted("silent", 30, 1);
}

TEST_F(HeldOutputTest, RequestsAreWrittenAheadOfTheirConfirmations) {
  // On a paced line, with answers that take 300 ms to come back, the next requests are
  // already on their way when the first one's output-complete event arrives: the printer
  // does not wait for the handshake.
  device_->Set("baud 9600");
  device_->Set("split 3 150");
  size_t received_at_first_event = 0;
  printer_->on_output_complete = [&](int32_t id) {
    if (outputs_.empty()) received_at_first_event = Received().size();
    outputs_.push_back(id);
  };
  const std::string line = "Coffee                            2.50\n";
  for (int i = 0; i < 15; ++i) ASSERT_EQ(printer_->PrintNormal(2, line), 0);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 15; }, 30000));
  std::vector<int32_t> in_order(15);
  std::iota(in_order.begin(), in_order.end(), 1);
  EXPECT_EQ(outputs_, in_order);
  const size_t one_request = Received().size() / 15;
  EXPECT_GT(received_at_first_event, one_request + 100);
  EXPECT_EQ(lines_.Count("Coffee                            2.50"), 15);
}

TEST_F(HeldOutputTest, CoverInTheMiddleOfAStreamReprintsAtMostTheRequestInProgress) {
  device_->Set("baud 4800");
  OnError([this] {
    device_->Set("cover close");
    EXPECT_TRUE(WaitForHealth(0));
    return opos::kErRetry;
  });
  bool opened = false;
  printer_->on_output_complete = [&](int32_t id) {
    outputs_.push_back(id);
    if (id == 3 && !opened) {
      opened = true;
      device_->Set("cover open");
    }
  };
  for (int i = 1; i <= 8; ++i) ASSERT_EQ(printer_->PrintNormal(2, Job("r" + std::to_string(i), 6)), 0);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 8; }, 40000));
  std::vector<int32_t> in_order(8);
  std::iota(in_order.begin(), in_order.end(), 1);
  EXPECT_EQ(outputs_, in_order);
  EXPECT_LE(errors_.size(), 1u);
  // Confirmed requests print once; the one in progress at most twice; the rest once.
  for (int r = 1; r <= 8; ++r) {
    const std::string name = "r" + std::to_string(r);
    for (int i = 1; i <= 6; ++i) {
      const int count = lines_.Count(name + " " + std::to_string(i));
      EXPECT_GE(count, 1) << name << " " << i;
      EXPECT_LE(count, r <= 3 ? 1 : 2) << name << " " << i;
    }
  }
  int reprinted_requests = 0;
  for (int r = 4; r <= 8; ++r) reprinted_requests += lines_.Count("r" + std::to_string(r) + " 6") > 1;
  EXPECT_LE(reprinted_requests, 1);
}

TEST_F(EnabledPrinterTest, TransactionFlushedAgainAfterTheCoverOpenedIsNotPrintedTwice) {
  // The cover opens while the printer prints a synchronous transaction: the flush reports
  // it; the printer prints the rest once the cover is closed. Flushing again must not print
  // the transaction a second time.
  PrintedLines lines;
  device_->printer.SetPrintSink(&lines);
  device_->Set("baud 2400");
  ASSERT_EQ(printer_->TransactionPrint(2, 11), 0);
  for (int i = 1; i <= 30; ++i) ASSERT_EQ(printer_->PrintNormal(2, "tx " + std::to_string(i) + "\n"), 0);
  std::thread opener([&] {
    const uint64_t limit = platform::TickCountMs() + 10000;
    while (lines.Count("tx 5") == 0 && platform::TickCountMs() < limit) platform::SleepMs(5);
    device_->Set("cover open");
  });
  EXPECT_EQ(printer_->TransactionPrint(2, 12), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  opener.join();
  device_->Set("cover close");
  ASSERT_TRUE(PumpUntil([&] { return lines.Total() == 30; }, 10000));
  ASSERT_TRUE(WaitForHealth(0));
  EXPECT_EQ(printer_->TransactionPrint(2, 12), 0);
  platform::PumpMessages(1000);
  device_->Set("baud 0");
  for (int i = 1; i <= 30; ++i) EXPECT_EQ(lines.Count("tx " + std::to_string(i)), 1) << i;
  device_->printer.SetPrintSink(nullptr);
}

}  // namespace
}  // namespace service_core::testing
