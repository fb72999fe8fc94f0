#include "printer_store.h"

#include <string>

#include "control_objects/opos_codes.h"
#include "control_objects/pos_printer.h"

namespace imprex {

namespace {

constexpr int32_t kWriteRawBytes = 120;  // the printer service object's raw-bytes command
constexpr int32_t kPrintNvBitmap = 111;
constexpr int32_t kReceiptStation = 2;
// ResultCodeExtended of the printer: with 106 at claim (its answer to the status probe),
// with 114 or 111 once claimed.
constexpr int32_t kCoverOpen = 201, kReceiptEmpty = 203;
constexpr int32_t kNoAnswerAtClaim = 10007, kWriteFailed = 100003;

QString OpenFailure(int result, const QString& name) {
  switch (result) {
    case opos::kNoExist:
      return QStringLiteral("No printer is set up under the name \"%1\".").arg(name);
    case opos::kNoService:
      return QStringLiteral("The printer \"%1\" has no working driver (result 104).").arg(name);
    default:
      return QStringLiteral("The printer \"%1\" cannot be opened: %2.")
          .arg(name, DescribeResult(result, 0).condition);
  }
}

}  // namespace

PrinterTrouble DescribeResult(int result, int extended, bool claiming) {
  const QString try_again = QStringLiteral(", then try again.");
  // A claim times out when the port stays taken: another program (or another device entry
  // on the same port) holds it, or it cannot be opened at all.
  if (claiming && result == opos::kTimeout) {
    return {QStringLiteral("another program is using the printer, or its port cannot be opened"),
            QStringLiteral("Close the other program, or check the port in Confix") + try_again};
  }
  if (extended == kCoverOpen) {
    return {QStringLiteral("the printer's cover is open"),
            QStringLiteral("Close the cover") + try_again};
  }
  if (extended == kReceiptEmpty) {
    return {QStringLiteral("the printer is out of paper"),
            QStringLiteral("Put in a new paper roll and close the cover") + try_again};
  }
  if (extended == kNoAnswerAtClaim || extended == kWriteFailed || result == opos::kOffline ||
      result == opos::kNoHardware || result == opos::kTimeout) {
    return {QStringLiteral("the printer is off or not answering"),
            QStringLiteral("Check that it is switched on and that its cable is plugged in") +
                try_again};
  }
  if (result == opos::kClaimed) {
    return {QStringLiteral("another program is using the printer"),
            QStringLiteral("Close that program") + try_again};
  }
  if (extended != 0) return {QStringLiteral("result %1 (extended %2)").arg(result).arg(extended), {}};
  return {QStringLiteral("result %1").arg(result), {}};
}

StoreReport StoreLogos(const QString& logical_name, const std::vector<MonoLogo>& logos,
                       const StoreOptions& options) {
  StoreReport report;
  const NvStoreCommand command = BuildNvStoreCommand(logos, options.nv_capacity);
  if (!command.ok()) {
    report.message = command.error + QStringLiteral(" Nothing was sent to the printer.");
    return report;
  }

  auto printer = opos::control::POSPrinter::Create();
  const int32_t opened = printer->Open(logical_name.toStdString());
  if (opened != opos::kSuccess) {
    report.message = OpenFailure(opened, logical_name);
    return report;
  }
  auto fail = [&](const QString& step, bool claiming = false) {
    const PrinterTrouble trouble =
        DescribeResult(printer->ResultCode(), printer->ResultCodeExtended(), claiming);
    report.message = QStringLiteral("%1 \"%2\": %3.").arg(step, logical_name, trouble.condition);
    if (!trouble.what_to_do.isEmpty()) report.message += QStringLiteral(" ") + trouble.what_to_do;
    printer->Close();
    return report;
  };
  if (printer->ClaimDevice(options.claim_timeout_ms) != opos::kSuccess) {
    return fail(QStringLiteral("Cannot claim the printer"), true);
  }
  printer->SetDeviceEnabled(true);
  if (printer->ResultCode() != opos::kSuccess) return fail(QStringLiteral("Cannot enable the printer"));
  // Everything is written at once; asynchronous output would only hide the result.
  printer->SetAsyncMode(false);

  int32_t written = 0;
  std::string bytes = command.bytes;
  if (printer->DirectIO(kWriteRawBytes, written, bytes) != opos::kSuccess) {
    return fail(QStringLiteral("The logo did not reach the printer"));
  }
  report.message = QStringLiteral("Stored %1 logo%2 (%3 bytes of NV memory) in \"%4\".")
                       .arg(logos.size())
                       .arg(logos.size() == 1 ? "" : "s")
                       .arg(command.image_bytes)
                       .arg(logical_name);

  if (options.print_check) {
    for (size_t k = 1; k <= logos.size(); ++k) {
      int32_t number = int32_t(k);
      std::string alignment = "PTR_BM_CENTER";
      if (printer->DirectIO(kPrintNvBitmap, number, alignment) != opos::kSuccess) {
        const QString stored = report.message;
        fail(QStringLiteral("The check print failed on"));
        report.message = stored + QStringLiteral(" ") + report.message;
        return report;
      }
    }
    const std::string caption = "\x1B|cAThe logo" + std::string(logos.size() == 1 ? " is" : "s are") +
                                " stored; print it with DirectIO 111.\n\x1B|fP";
    printer->PrintNormal(kReceiptStation, caption);
    report.message += QStringLiteral(" Printed once to check.");
  }
  printer->ReleaseDevice();
  printer->Close();
  report.ok = true;
  return report;
}

}  // namespace imprex
