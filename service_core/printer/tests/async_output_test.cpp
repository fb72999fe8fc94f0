// Asynchronous output through the control object: identifiers and output-complete events,
// error events and their answers, ClearOutput, and release with output still queued.
#include <algorithm>

#include "output_fixture.h"
#include "platform/event.h"

namespace service_core::testing {
namespace {

struct ErrorSeen {
  int32_t result, extended, locus, proposed;
  int32_t state, level, station;
  std::string text;
};

class AsyncOutputTest : public EnabledPrinterTest {
 protected:
  // Records each error event with the properties that hold while it is pending, and answers
  // it with what `answer` returns.
  void OnError(std::function<int32_t()> answer) {
    printer_->on_error = [this, answer](int32_t rc, int32_t ext, int32_t locus, int32_t& resp) {
      errors_.push_back({rc, ext, locus, resp, printer_->State(), printer_->GetPropertyNumber(8035),
                         printer_->GetPropertyNumber(8004), printer_->GetPropertyString(1008005)});
      resp = answer();
    };
  }
  std::vector<ErrorSeen> errors_;
};

TEST_F(AsyncOutputTest, RequestsGetIdentifiersAndCompleteInOrder) {
  SetAsync();
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(5), 1);
  EXPECT_EQ(DirectIO(111, 2, "PTR_BM_RIGHT"), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(5), 2);
  printer_->SetPropertyNumber(8005, 1);  // FlagWhenIdle
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 2; }, 15000));
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2}));
  const Bytes expected =
      Join({NvImage('0', 1), kCompletionRequest, NvImage('2', 2), kCompletionRequest});
  EXPECT_EQ(ReceivedWhenAtLeast(expected.size()), expected);
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), 1001), 1);
  EXPECT_EQ(printer_->GetPropertyNumber(8005), 0);
}

TEST_F(AsyncOutputTest, AsynchronousPrintSendsWhatSynchronousPrintSendsAndOneEventPerRequest) {
  const std::string text = "Total      12.34\n";
  ASSERT_EQ(printer_->PrintNormal(2, text), 0);
  platform::PumpMessages(300);
  const Bytes sync_bytes = Received();
  ASSERT_FALSE(sync_bytes.empty());

  SetAsync();
  Mark();
  ASSERT_EQ(printer_->PrintNormal(2, text), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(5), 1);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 15000));
  EXPECT_EQ(ReceivedWhenAtLeast(sync_bytes.size()), Join({sync_bytes, kCompletionRequest}));

  // A transaction reaches the send routine in pieces: one identifier, one event.
  Mark();
  ASSERT_EQ(printer_->TransactionPrint(2, 11), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(printer_->PrintNormal(2, text), 0);
  ASSERT_EQ(printer_->TransactionPrint(2, 12), 0);
  EXPECT_EQ(printer_->GetPropertyNumber(5), 2);
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 2; }, 15000));
  platform::PumpMessages(500);
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2}));
  const Bytes received = Received();
  ASSERT_GE(received.size(), 3 * sync_bytes.size() + kCompletionRequest.size());
  EXPECT_EQ(Bytes(received.end() - kCompletionRequest.size(), received.end()), kCompletionRequest);
  EXPECT_EQ(std::search(received.begin() + 2 * sync_bytes.size(), received.end(),
                        sync_bytes.begin(), sync_bytes.end()),
            received.begin() + 2 * sync_bytes.size());
}

TEST_F(AsyncOutputTest, CoverOpenedDuringPrintRaisesAnErrorAndRetryDoesNotPrintItTwice) {
  SetAsync();
  OnError([this] {
    device_->Set("cover close");
    EXPECT_TRUE(WaitForHealth(0));
    return opos::kErRetry;
  });
  // The request takes about half a second to arrive. Slower would crowd the line: with the
  // cover open the link asks for the printer's status every round, and a write not taken
  // within a second fails.
  device_->Set("slow 20");
  EXPECT_EQ(DirectIO(111, 3, "PTR_BM_CENTER"), 0);
  device_->Set("cover open");
  ASSERT_TRUE(PumpUntil([&] { return !outputs_.empty(); }, 20000));
  device_->Set("slow 0");
  ASSERT_GE(errors_.size(), 1u);
  const ErrorSeen& e = errors_[0];
  EXPECT_EQ(std::vector<int32_t>({e.result, e.extended, e.locus, e.proposed}),
            std::vector<int32_t>({114, 201, 1, opos::kErRetry}));
  EXPECT_EQ(e.state, opos::kStateError);
  EXPECT_EQ(e.level, 2);
  EXPECT_EQ(e.station, 2);
  EXPECT_EQ(e.text, "Printer cover is open.");
  EXPECT_EQ(outputs_, std::vector<int32_t>{1});
  // The printer kept what arrived while the cover was open and printed it once the cover
  // closed; it confirmed that, so nothing is written twice.
  const Bytes once = Join({NvImage('1', 3), kCompletionRequest});
  const Bytes received = ReceivedWhenAtLeast(once.size());
  EXPECT_EQ(Bytes(received.begin(), received.begin() + once.size()), once);
  EXPECT_EQ(CountOf(received, NvImage('1', 3)), 1u);
  EXPECT_EQ(printer_->GetPropertyNumber(8035), 1);
  EXPECT_EQ(printer_->GetPropertyString(1008005), "");
}

TEST_F(AsyncOutputTest, ClearAnswerDropsTheRequestWithoutAnEvent) {
  SetAsync();
  device_->Set("cover open");
  ASSERT_TRUE(WaitForHealth(opos::kExtended));
  OnError([] { return opos::kErClear; });
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), 0);
  ASSERT_TRUE(PumpUntil([&] { return !errors_.empty(); }));
  platform::PumpMessages(500);
  EXPECT_TRUE(outputs_.empty());
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_EQ(printer_->State(), opos::kStateIdle);

  device_->Set("cover close");
  ASSERT_TRUE(WaitForHealth(0));
  EXPECT_EQ(DirectIO(111, 2, "PTR_BM_LEFT"), 0);
  ASSERT_TRUE(PumpUntil([&] { return !outputs_.empty(); }, 15000));
  EXPECT_EQ(outputs_, std::vector<int32_t>{2});
  const Bytes expected = Join({NvImage('0', 2), kCompletionRequest});
  EXPECT_EQ(ReceivedWhenAtLeast(expected.size()), expected);
}

TEST_F(AsyncOutputTest, ClearOutputDuringTheErrorWaitDiscardsTheQueue) {
  SetAsync();
  device_->Set("cover open");
  ASSERT_TRUE(WaitForHealth(opos::kExtended));
  OnError([this] {
    EXPECT_EQ(printer_->ClearOutput(), 0);
    return opos::kErRetry;  // too late: the output is gone
  });
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), 0);
  EXPECT_EQ(DirectIO(111, 2, "PTR_BM_LEFT"), 0);
  ASSERT_TRUE(PumpUntil([&] { return !errors_.empty(); }));
  device_->Set("cover close");
  ASSERT_TRUE(WaitForHealth(0));
  platform::PumpMessages(1500);
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(outputs_.empty());
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
}

TEST_F(AsyncOutputTest, ClearOutputDropsWaitingRequestsAndLetsTheCurrentOneFinish) {
  SetAsync();
  device_->Set("baud 9600");  // each request takes most of a second on the line
  const std::string long_line = std::string(600, '-') + "\n";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(printer_->PrintNormal(2, long_line), 0);
  ASSERT_TRUE(PumpUntil([&] { return !Received().empty(); }));
  EXPECT_EQ(printer_->ClearOutput(), 0);
  EXPECT_EQ(DirectIO(111, 4, "PTR_BM_LEFT"), 0);  // after the clear: kept
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 2; }, 20000));
  platform::PumpMessages(300);
  device_->Set("baud 0");
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 4}));
  const Bytes received = Received();
  EXPECT_EQ(CountOf(received, ToBytes(long_line)), 1u);
  const Bytes tail = Join({NvImage('0', 4), kCompletionRequest});
  ASSERT_GE(received.size(), tail.size());
  EXPECT_EQ(Bytes(received.end() - tail.size(), received.end()), tail);
}

TEST_F(AsyncOutputTest, PrinterGoingAwayEndsInAnAnsweredErrorAndOneReprint) {
  SetAsync();
  device_->Set("disconnect");
  ASSERT_TRUE(WaitForHealth(opos::kFailure));
  OnError([this] {
    device_->Set("connect");
    EXPECT_TRUE(WaitForHealth(0));
    return opos::kErRetry;
  });
  EXPECT_EQ(DirectIO(111, 5, "PTR_BM_LEFT"), 0);
  ASSERT_TRUE(PumpUntil([&] { return !outputs_.empty(); }, 20000));
  ASSERT_GE(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].result, opos::kFailure);
  EXPECT_EQ(errors_[0].extended, 100003);
  EXPECT_EQ(errors_[0].level, 3);
  EXPECT_EQ(errors_[0].text, "An unrecoverable error has occurred.");
  EXPECT_EQ(outputs_, std::vector<int32_t>{1});
  const Bytes expected = Join({NvImage('0', 5), kCompletionRequest});
  const Bytes received = ReceivedWhenAtLeast(expected.size());
  // The status-back request the link sends to a printer that comes back may come first.
  ASSERT_GE(received.size(), expected.size());
  EXPECT_EQ(Bytes(received.end() - expected.size(), received.end()), expected);
}

TEST_F(AsyncOutputTest, ReleaseGivesQueuedOutputTenSecondsThenDiscardsIt) {
  SetAsync();
  device_->Set("answers off");  // no request is ever confirmed
  for (int image = 1; image <= 3; ++image) EXPECT_EQ(DirectIO(111, image, "PTR_BM_LEFT"), 0);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(Received(), kCompletionRequest) >= 3; }));
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  const uint64_t took = platform::TickCountMs() - start;
  EXPECT_GE(took, 9500u);
  EXPECT_LT(took, 20000u);
  platform::PumpMessages(300);
  EXPECT_TRUE(outputs_.empty());
  // Each request went out once (its completion request may have been repeated); what the
  // printer did not confirm is cleared from its buffer before the port closes.
  const Bytes received = Received();
  for (uint8_t image = 1; image <= 3; ++image) EXPECT_EQ(CountOf(received, NvImage('0', image)), 1u);
  ASSERT_GE(received.size(), kClearBuffers.size());
  EXPECT_EQ(Bytes(received.end() - kClearBuffers.size(), received.end()), kClearBuffers);

  // The next claim starts idle: an application waiting for idle is told so.
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
  device_->Set("answers on");
  ASSERT_EQ(printer_->ClaimDevice(1000), 0);
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(printer_->State(), opos::kStateIdle);
  printer_->SetPropertyNumber(8005, 1);  // FlagWhenIdle
  EXPECT_TRUE(PumpUntil([&] { return std::count(statuses_.begin(), statuses_.end(), 1001) == 1; }));
}

}  // namespace
}  // namespace service_core::testing
