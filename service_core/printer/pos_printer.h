// CPOSPrinter: the POS printer service object of the serial build. The control object
// creates it by ProgID and forwards every method and property to it; events go back
// through the control object's callbacks on the thread that called OpenService.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "claim_sync.h"
#include "control_callbacks.h"
#include "device_config.h"
#include "event_record.h"
#include "platform/dispatch_table.h"
#include "platform/event_hand_off.h"
#include "platform/message_queue.h"
#include "port_user.h"
#include "print_data/bitmap_commands.h"
#include "print_data/bitmap_slots.h"
#include "print_data/escape_translator.h"
#include "print_data/logo_store.h"
#include "print_data/rotation.h"
#include "build_differences.h"
#include "printer_port.h"
#include "printer_properties.h"
#include "written_request.h"

namespace service_core {

using platform::automation::Dispatch;
using platform::automation::DispatchTable;

// What writing a piece of data does to the printer's single downloaded-image area. The
// stored bitmaps' downloaded flags change when the piece is written, not when it is handed
// over, so they follow the printer through transactions and queued output.
enum class ImageArea {
  kUntouched,
  kOverwritten,  // another image is defined there (PrintBitmap)
  kSlot1,        // stored bitmap 1 (SetBitmap)
  kSlot2,
};

// A request (or part of one) waiting for the output worker.
struct OutputJob {
  std::vector<uint8_t> data;
  int32_t station = 2;
  int32_t output_id = 0;  // 0: more parts follow; -1: end of a transaction
  bool expand_bitmaps = true;
  ImageArea image_area = ImageArea::kUntouched;
  bool taken = false;  // the output worker has written it (or is writing it) to the printer
};

// Whether the send routine expands "\x1B|1B" / "\x1B|2B" into the stored bitmaps. Image
// data (PrintBitmap, SetBitmap) can hold the same four bytes by chance and must not be.
enum class BitmapReferences { kExpand, kKeep };

class CPOSPrinter : public platform::automation::AutomationObject<CPOSPrinter>, public PortUser {
 public:
  static const DispatchTable<CPOSPrinter>& AutomationTable();

  CPOSPrinter();

  // Every automation call; in the network build a refusal with OPOS_E_ILLEGAL is also told
  // to the user in a message box.
  platform::automation::HResult Invoke(platform::automation::DispId id,
                                       platform::automation::InvokeKind kind,
                                       std::span<platform::automation::Variant> args,
                                       platform::automation::Variant* result) override;

  // The automation interface (the table in pos_printer_table.cpp keeps interface order).
  int32_t COFreezeEvents(int32_t freeze);
  int32_t GetPropertyNumber(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  std::string GetPropertyString(int32_t index);
  void SetPropertyString(int32_t index, const std::string& value);
  int32_t OpenService(const std::string& device_class, const std::string& device_name,
                      Dispatch* control);
  int32_t ClaimDevice(int32_t timeout);
  int32_t CloseService();
  int32_t ReleaseDevice();

  // PortUser: called from the port's monitor thread.
  void OnPrinterPowerLost() override;
  void OnPrinterAnswer(const PrinterAnswer& answer) override;
  // PortUser: read by a cash drawer sharing the port, which waits for printing to be idle.
  bool OutputPending() const override { return output_pending_; }
  uint64_t LastOutputMs() const override {
    return std::max(last_sync_print_ms_.load(), last_async_print_ms_.load());
  }

  // The send routine every print method ends in: checks the station, then writes the
  // bytes now, collects them into the open transaction, or queues them for the output
  // worker. `more_follows` keeps an asynchronous request open for further pieces; they
  // share one OutputID and one output-complete event. Returns an OPOS result and sets
  // ResultCodeExtended; the caller stores ResultCode.
  int32_t SendData(int32_t station, std::string_view bytes, bool more_follows,
                   BitmapReferences references = BitmapReferences::kExpand,
                   ImageArea image_area = ImageArea::kUntouched);
  // The largest piece the send routine takes; longer ones are refused with OPOS_E_ILLEGAL.
  // It holds 32 767 bytes of translated text with the framing PrintNormal puts around it.
  static constexpr size_t kMaxSendBytes = print_data::kMaxPrintBlock;

  // Output control, health check and direct I/O.
  int32_t ClearOutput();
  int32_t CheckHealth(int32_t level);
  int32_t DirectIO(int32_t command, int32_t* data, std::string* text);

  // Print methods (print_methods.cpp, transaction_print.cpp, barcode_method.cpp,
  // bitmap_methods.cpp).
  int32_t PrintNormal(int32_t station, const std::string& data);
  int32_t PrintImmediate(int32_t station, const std::string& data);
  int32_t PrintTwoNormal(int32_t stations, const std::string& data1, const std::string& data2);
  int32_t ValidateData(int32_t station, const std::string& data);
  int32_t CutPaper(int32_t percentage);
  int32_t RotatePrint(int32_t station, int32_t rotation);
  int32_t TransactionPrint(int32_t station, int32_t control);
  int32_t BeginInsertion(int32_t timeout);
  int32_t BeginRemoval(int32_t timeout);
  int32_t EndInsertion();
  int32_t EndRemoval();
  int32_t PrintBarCode(int32_t station, const std::string& data, int32_t symbology, int32_t height,
                       int32_t width, int32_t alignment, int32_t text_position);
  int32_t PrintBitmap(int32_t station, const std::string& file_name, int32_t width,
                      int32_t alignment);
  int32_t SetBitmap(int32_t bitmap_number, int32_t station, const std::string& file_name,
                    int32_t width, int32_t alignment);
  int32_t SetLogo(int32_t location, const std::string& data);

  // Queues an event for the delivery thread (application's thread); dropped while the
  // device is not claimed.
  void QueueEvent(const EventRecord& record);

 protected:
  ~CPOSPrinter() override;

 private:
  int32_t Finish(int32_t result);  // stores ResultCode
  void TellIllegalResult(platform::automation::DispId id);
  void SetState(int32_t state);
  int32_t ReadState();
  void SetDeviceEnabled(int32_t value);
  void SetFreezeEvents(int32_t value);
  void SetFlagWhenIdle(int32_t value);
  void SetCharacterSet(int32_t value);

  // Queues an event from any thread of the claim.
  void QueueEvent(ClaimSync& sync, const EventRecord& record);
  void StartWorkers(ClaimSync& sync);
  void StopWorkers(ClaimSync& sync);
  void DiscardQueuedOutput();

  // The four worker threads of a claim.
  void EventDeliveryLoop(ClaimSync& sync);
  void OutputWorkerLoop(ClaimSync& sync);
  void StatusPollLoop(ClaimSync& sync);
  void StatusEventLoop(ClaimSync& sync);

  // Output path (send_routine.cpp, output_worker.cpp, health_check.cpp).
  bool WriteBytes(std::string_view bytes);
  // The result a print method returns for a printer that is not ready (`status` from the
  // link), with ResultCodeExtended set: cover open or paper out give an extended result,
  // anything else a failure. kSuccess for a ready printer.
  int32_t ResultForPortStatus(int status);
  bool WriteJob(std::string_view bytes, bool expand_bitmaps,
                ImageArea image_area = ImageArea::kUntouched);
  // The bytes a job puts on the wire (stored images it uses expanded), appended to `wire`;
  // the image area the job fills is marked by the caller once the write succeeded.
  void ComposeJob(std::string_view bytes, bool expand_bitmaps, ImageArea image_area,
                  std::vector<uint8_t>& wire);
  void MarkImageArea(ImageArea image_area);
  void ForgetBitmapDownloads();
  // Output worker (output_worker.cpp, dot_matrix_output.cpp).
  bool TakeNextRequest(std::vector<OutputJob>& jobs);
  void GiveBackRequestsFrom(int32_t output_id);  // written again later
  int32_t NextUnwrittenRequestId();
  int WriteAhead(ClaimSync& sync);
  int CheckWrittenRequests();
  bool ConfirmAnswered(ClaimSync& sync);
  void HandleOutputError(ClaimSync& sync, int status);
  // False when the printer, found again after the link lost it, did not answer whether it
  // processed what reached it: the trouble goes on.
  bool SettleWrittenRequests(ClaimSync& sync, bool retry);
  bool SettleAfterLostLink(ClaimSync& sync);
  // Writes the request's wire, piece by piece, noting where each went in the stream.
  bool WriteWire(WrittenRequest& request);
  void DropAllOutput();
  void PrintDotMatrixRequest(ClaimSync& sync);
  // Waits for the application's ErrorResponse; kConfirmedMeanwhile when the printer
  // confirmed the request in progress (`in_progress`, 0 for none) while it waited.
  int32_t AwaitErrorResponse(ClaimSync& sync, int32_t station, int status, int32_t in_progress);
  void FinishRequest(ClaimSync& sync, int32_t output_id, bool completed);
  void GoIdle(ClaimSync& sync);
  // How long a printer that is back may take to answer whether it printed everything; after
  // a lost link it may still be printing what it held.
  static constexpr uint32_t kProcessedProbeMs = 1000;
  static constexpr uint32_t kProcessedAfterLossMs = 15000;
  void DiscardAllButCurrentRequest();  // output-queue mutex held

  // Completion requests and the printer's answers (printer_confirmations.cpp).
  uint32_t NewMark();
  bool WriteCompletionRequest(uint32_t mark);
  // The completion request's bytes, its identifier noted as asked for.
  std::array<uint8_t, 11> CompletionRequest(uint32_t mark);
  bool MarkAnswered(uint32_t mark);
  // Writes a completion request of its own and waits up to `limit_ms` for the answer: an
  // answer means the printer processed everything written before it.
  bool PrinterProcessedAll(uint32_t limit_ms, platform::Event* stop);
  // Real-time buffer clear: the printer drops what it holds and has not printed. Waits up
  // to a second for its answer (answers to earlier requests arrive before it); false when
  // none came.
  bool ClearPrinterBuffer(platform::Event* stop);
  int32_t RunHealthCheck(int32_t level);
  int32_t PrintNvLogoAligned(int32_t image, const std::string& alignment);
  void PrintTestPage();

  // Status monitoring (status_monitor.cpp).
  // Enabling: forget what was reported, so the next poll reports the current conditions.
  void RestartStatusReporting();
  void PollStatusOnce(ClaimSync& sync);
  void ReportStatus(ClaimSync& sync, int32_t status);
  void RaiseStatus(ClaimSync& sync, int32_t status);

  // The hidden window's handler: raises the event the delivery thread posted.
  bool OnWindowCommand(uint16_t command);
  void Raise(EventRecord& record);

  // Configuration and links.
  std::string opened_name_;
  SerialConfiguration config_;
  bool thermal_ = true;
  ControlCallbacks callbacks_;
  std::unique_ptr<platform::HiddenWindow> window_;
  // The link of this build (serial, TCP or USB); used only through CPrinterPort.
  std::unique_ptr<CPrinterPort> port_link_ = NewPrinterPort();
  CPrinterPort& port_ = *port_link_;
  PrinterProperties properties_;

  // Common properties. Atomic because the workers read and set them.
  std::atomic<int32_t> claimed_{0};
  std::atomic<int32_t> device_enabled_{0};
  std::atomic<int32_t> freeze_events_{0};
  std::atomic<int32_t> co_freeze_events_{0};
  std::atomic<int32_t> output_id_{0};
  std::atomic<int32_t> result_code_{1};  // 1 until OpenService
  std::atomic<int32_t> result_code_extended_{0};
  std::atomic<uint64_t> results_stored_{0};  // counts Finish calls
  std::atomic<int32_t> binary_conversion_{0};
  std::atomic<int32_t> power_notify_{0};
  std::atomic<int32_t> power_state_{0};
  std::atomic<int32_t> cap_power_reporting_{0};
  std::mutex text_mutex_;  // guards check_health_text_
  std::string check_health_text_;

  // Queues. The event-queue mutex also guards State.
  std::mutex output_queue_mutex_;
  std::deque<OutputJob> output_queue_;
  std::mutex transaction_queue_mutex_;
  std::deque<OutputJob> transaction_queue_;
  std::mutex event_queue_mutex_;
  std::deque<EventRecord> event_queue_;
  int32_t state_ = 1;

  // The claim: its events, threads and stop flag. Touched by the application's thread only,
  // except that each worker is handed the ClaimSync it runs with.
  std::unique_ptr<ClaimSync> sync_;
  uint64_t claim_generation_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> releasing_{false};  // ReleaseDevice is waiting for queued output
  std::thread output_worker_, status_poll_, status_event_, event_delivery_;

  // The event posted to the hidden window and not yet raised. The window takes it from
  // here rather than from the message, so a message that outlives its claim raises nothing.
  platform::EventHandOff<EventRecord> hand_off_;
  std::atomic<int32_t> error_response_{11};

  // Output path and status bookkeeping the workers share.
  std::atomic<bool> output_pending_{false};
  // Answers to our completion requests (the newest last) and buffer clears, from the port
  // monitor; the worker and the transaction flush look them up.
  std::mutex answers_mutex_;
  std::deque<uint32_t> answered_marks_;
  // Identifiers asked for in this claim and not answered yet: only an answer to one of them
  // counts. An answer left from an earlier claim (identifiers start again at 1) or line
  // noise that looks like one must not confirm a request written later.
  std::deque<uint32_t> asked_marks_;
  uint64_t clears_answered_ = 0;
  std::atomic<uint32_t> next_mark_{0};
  // Output worker only: requests written and not confirmed, in order; when the line is
  // expected to have carried them; whether bytes may have been lost since they were written.
  std::deque<WrittenRequest> written_;
  uint64_t wire_free_at_ = 0;
  bool loss_possible_ = false;
  // Written output discarded unconfirmed: release clears the printer's buffer.
  std::atomic<bool> unconfirmed_output_{false};
  // A synchronous transaction flush the printer did not confirm (its completion request),
  // 0 when none; and whether its bytes may have been lost.
  uint32_t transaction_mark_ = 0;
  bool transaction_loss_possible_ = false;
  WrittenRequest transaction_flush_;  // that flush as it was written
  size_t transaction_unconfirmed_jobs_ = 0;  // the collected jobs that flush wrote
  std::atomic<bool> discard_events_{false};
  std::atomic<int32_t> discard_count_{0};
  std::atomic<bool> error_wait_{false};
  std::atomic<bool> clear_requested_{false};
  std::atomic<bool> clear_during_error_{false};
  std::atomic<bool> bitmap_downloaded_[2] = {false, false};
  std::atomic<uint64_t> last_sync_print_ms_{0};
  std::atomic<uint64_t> last_async_print_ms_{0};
  // Last reported cover, paper and power conditions: 1, 0, or -1 for unknown.
  std::atomic<int32_t> cover_reported_{0}, paper_reported_{0}, power_reported_{0};
  // Status updates the poll thread found and the status event thread has not raised yet,
  // in order. The mutex also makes one poll round's flag changes atomic against enabling.
  std::mutex status_mutex_;
  std::deque<int32_t> status_reports_;

  // The two stored bitmaps print data refers to, and which one the printer holds.
  print_data::BitmapSlots bitmap_slots_;
  // A transaction is open: the send routine collects instead of printing.
  std::atomic<bool> transaction_open_{false};
  // Error events the output worker raised during this claim, and how many of them the
  // application has answered (or were dropped undelivered), so an answer is never taken
  // for a later error.
  std::atomic<uint64_t> errors_raised_{0};
  std::atomic<uint64_t> errors_answered_{0};
  // Signalled when an answer arrived, so the worker need not poll for it.
  platform::Event completion_event_{true};

  // Print methods: what they read from the properties, the state they keep between calls,
  // and the transaction flush.
  print_data::TranslateSettings TranslateSettingsNow() const;
  print_data::BitmapRequest BitmapRequestNow(int32_t station, const std::string& file_name,
                                             int32_t width, int32_t alignment) const;
  int32_t PrintText(int32_t station, const std::string& data);
  int32_t SlipMethod();
  int32_t FlushTransaction();
  // The synchronous flush on the thermal model: every collected job and the completion
  // request in one write, then the wait for the answer.
  int32_t WriteTransactionAndWait(size_t flushing);
  int32_t AwaitTransactionCompletion(uint32_t mark);
  // A synchronous flush after one the printer did not confirm: kSuccess when the earlier one
  // printed after all (or, cut off by a lost link, what had not reached the printer printed
  // now); kCleared when the printer holds nothing of it (its buffer was cleared, or nothing
  // reached it) and it is flushed again whole; a failure when the printer did not confirm
  // it again.
  static constexpr int32_t kCleared = -1;
  int32_t SettleEarlierFlush();
  int32_t WriteDownloadNow(std::string_view bytes, ImageArea area);
  // ClaimDevice: normal rotation, the left margin, no open transaction.
  void ResetPrintState();
  // Drops a held rotation and takes the printer out of page mode (release, claim,
  // ClearOutput). When the printer could not be told, the next claim tells it.
  void LeavePageMode();
  bool page_mode_left_ = false;
  print_data::EscapeTranslator translator_;
  print_data::RotationState rotation_;
  print_data::LogoStore logos_;
};

}  // namespace service_core
