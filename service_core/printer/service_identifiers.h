// The fixed identifiers of the serial-build printer service object.
#pragma once

namespace service_core {

inline constexpr const char* kPrinterProgId = "RecPrinter.POSPrinter.SO";
inline constexpr const char* kPrinterClsid = "{95498E43-DF23-4FC7-A946-67487F70B264}";
// The dispatch interface and the type library (version 1.0, shared with the cash drawer).
// Nothing on this platform looks them up; they are kept so the identities stay fixed.
inline constexpr const char* kPrinterDispatchInterfaceId = "{CFA4F6A8-D7AC-4574-8E9B-27F068D377DB}";
inline constexpr const char* kTypeLibraryId = "{510D6DE5-6315-4775-BD43-47F41B505EEF}";

}  // namespace service_core
