// The automation interface of CPOSPrinter, in interface order.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

using P = CPOSPrinter;
using std::string;

const DispatchTable<CPOSPrinter>& CPOSPrinter::AutomationTable() {
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
          .Method("BeginInsertion", &P::BeginInsertion)
          .Method("BeginRemoval", &P::BeginRemoval)
          .Method("CutPaper", &P::CutPaper)
          .Method("EndInsertion", &P::EndInsertion)
          .Method("EndRemoval", &P::EndRemoval)
          .Method("PrintBarCode", &P::PrintBarCode)
          .Method("PrintBitmap", &P::PrintBitmap)
          .Method("PrintImmediate", &P::PrintImmediate)
          .Method("PrintNormal", &P::PrintNormal)
          .Method("PrintTwoNormal", &P::PrintTwoNormal)
          .Method("RotatePrint", &P::RotatePrint)
          .Method("SetBitmap", &P::SetBitmap)
          .Method("SetLogo", &P::SetLogo)
          .Method("TransactionPrint", &P::TransactionPrint)
          .Method("ValidateData", &P::ValidateData)
          .Method("Claim", &P::ClaimDevice)
          .Method("Release", &P::ReleaseDevice)
          .Method("Close", &P::CloseService);
  return table;
}

}  // namespace service_core
