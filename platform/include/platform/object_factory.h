// Creating automation objects by ProgID or CLSID through HKEY_CLASSES_ROOT and dlopen, and
// unloading server libraries that no longer hold any object.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"

namespace platform::automation {

// HKCR\<ProgID>\CLSID -> HKCR\CLSID\{clsid}\InprocServer32 -> dlopen -> DllGetClassObject ->
// CreateInstance. Failures: kClassNotRegistered (no such ProgID, CLSID or InprocServer32),
// kModuleNotFound (dlopen failed), kProcNotFound (the library lacks DllGetClassObject),
// kClassNotAvailable (the library does not serve that CLSID), or the factory's own error.
// LastCreateError() describes the failure. Thread-safe.
HResult CreateObject(std::string_view prog_id, DispatchPtr& out);
HResult CreateObjectByClsid(std::string_view clsid, DispatchPtr& out);

// Reads HKCR\<ProgID>\CLSID; kClassNotRegistered when missing.
HResult ClsidFromProgId(std::string_view prog_id, std::string& clsid);

// Unloads every library loaded by CreateObject whose DllCanUnloadNow answers kOk. Must not
// run while another thread is still inside the last Release of one of its objects.
void FreeUnusedLibraries();

// Libraries CreateObject currently keeps loaded (absolute paths as registered).
std::vector<std::string> LoadedServerLibraries();

// Description of the last CreateObject failure on this thread, including dlerror() text.
std::string LastCreateError();

}  // namespace platform::automation
