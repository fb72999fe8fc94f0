#include "printer_store.h"

#include <string>

#include "control_objects/opos_codes.h"
#include "control_objects/pos_printer.h"

namespace imprex {

namespace {

constexpr int32_t kWriteRawBytes = 120;  // the printer service object's raw-bytes command
constexpr int32_t kPrintNvBitmap = 111;
constexpr int32_t kReceiptStation = 2;
constexpr int32_t kCoverOpen = 201, kReceiptEmpty = 203;

QString OpenFailure(int result, const QString& name) {
  switch (result) {
    case opos::kNoExist:
      return QStringLiteral("No printer is set up under the name \"%1\".").arg(name);
    case opos::kNoService:
      return QStringLiteral("The printer \"%1\" has no working driver (result 104).").arg(name);
    default:
      return QStringLiteral("The printer \"%1\" cannot be opened: %2.")
          .arg(name, DescribeResult(result, 0));
  }
}

}  // namespace

QString DescribeResult(int result, int extended) {
  if (result == opos::kExtended && extended == kCoverOpen) return QStringLiteral("the cover is open");
  if (result == opos::kExtended && extended == kReceiptEmpty) {
    return QStringLiteral("the printer is out of paper");
  }
  if (result == opos::kClaimed) return QStringLiteral("another program is using the printer");
  if (result == opos::kTimeout) return QStringLiteral("the printer did not answer in time");
  if (extended != 0) return QStringLiteral("result %1 (extended %2)").arg(result).arg(extended);
  return QStringLiteral("result %1").arg(result);
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
  auto fail = [&](const QString& step) {
    report.message = QStringLiteral("%1 \"%2\": %3.")
                         .arg(step, logical_name,
                              DescribeResult(printer->ResultCode(), printer->ResultCodeExtended()));
    printer->Close();
    return report;
  };
  if (printer->ClaimDevice(options.claim_timeout_ms) != opos::kSuccess) {
    return fail(QStringLiteral("Cannot claim the printer"));
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
