// The automation interface of CPOSPrinter, in interface order.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

using P = CPOSPrinter;
using std::string;

int32_t CPOSPrinter::NotAvailableYet() {
  result_code_extended_ = 0;
  return Finish(opos::kIllegal);
}

const DispatchTable<CPOSPrinter>& CPOSPrinter::AutomationTable() {
  // Members whose family (health check, direct I/O, output, print methods, bitmaps) is
  // not part of this object yet answer OPOS_E_ILLEGAL, so every name still resolves.
  auto none = [](P& p) { return p.NotAvailableYet(); };
  auto one_long = [](P& p, int32_t) { return p.NotAvailableYet(); };
  auto two_long = [](P& p, int32_t, int32_t) { return p.NotAvailableYet(); };
  auto long_string = [](P& p, int32_t, const string&) { return p.NotAvailableYet(); };

  static const DispatchTable<P> table =
      DispatchTable<P>()
          .Method("COFreezeEvents", &P::COFreezeEvents)
          .Method("GetPropertyNumber", &P::GetPropertyNumber)
          .Method("SetPropertyNumber", &P::SetPropertyNumber)
          .Method("GetPropertyString", &P::GetPropertyString)
          .Method("SetPropertyString", &P::SetPropertyString)
          .Method("OpenService", &P::OpenService)
          .Method("CheckHealth", &P::CheckHealth)
          .Method("ClaimDevice", &P::ClaimDevice)
          .Method("ClearOutput", &P::ClearOutput)
          .Method("CloseService", &P::CloseService)
          .Method("DirectIO", &P::DirectIO)
          .Method("ReleaseDevice", &P::ReleaseDevice)
          .Method("BeginInsertion", one_long)
          .Method("BeginRemoval", one_long)
          .Method("CutPaper", one_long)
          .Method("EndInsertion", none)
          .Method("EndRemoval", none)
          .Method("PrintBarCode", [](P& p, int32_t, const string&, int32_t, int32_t, int32_t,
                                     int32_t, int32_t) { return p.NotAvailableYet(); })
          .Method("PrintBitmap", [](P& p, int32_t, const string&, int32_t,
                                    int32_t) { return p.NotAvailableYet(); })
          .Method("PrintImmediate", long_string)
          .Method("PrintNormal", long_string)
          .Method("PrintTwoNormal",
                  [](P& p, int32_t, const string&, const string&) { return p.NotAvailableYet(); })
          .Method("RotatePrint", two_long)
          .Method("SetBitmap", [](P& p, int32_t, int32_t, const string&, int32_t,
                                  int32_t) { return p.NotAvailableYet(); })
          .Method("SetLogo", long_string)
          .Method("TransactionPrint", two_long)
          .Method("ValidateData", long_string)
          .Method("Claim", &P::ClaimDevice)
          .Method("Release", &P::ReleaseDevice)
          .Method("Close", &P::CloseService);
  return table;
}

}  // namespace service_core
