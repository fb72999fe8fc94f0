// The contract between an in-process server library and the code that loads it: a class
// factory interface and the C-linkage exports every server library provides.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/dispatch.h"

namespace platform::automation {

class ClassFactory {
 public:
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
  // One new object per call; `out` receives the only reference.
  virtual HResult CreateInstance(DispatchPtr& out) = 0;
  // Keeps the library loaded (true) or gives that lock back (false) without any object.
  virtual HResult LockServer(bool lock) = 0;

 protected:
  virtual ~ClassFactory() = default;
};

// Export names and signatures, as looked up with dlsym.
inline constexpr const char* kGetClassObjectExport = "DllGetClassObject";
inline constexpr const char* kCanUnloadNowExport = "DllCanUnloadNow";
inline constexpr const char* kRegisterServerExport = "DllRegisterServer";
inline constexpr const char* kUnregisterServerExport = "DllUnregisterServer";

// `clsid` is a GUID string "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (case ignored). On
// success `*factory` holds one reference; kClassNotAvailable for a class the library lacks.
using GetClassObjectFn = HResult (*)(const char* clsid, ClassFactory** factory);
// kOk when no object, factory or server lock of the library is alive, kFalse otherwise.
using CanUnloadNowFn = HResult (*)();
using RegisterServerFn = HResult (*)();
using UnregisterServerFn = HResult (*)();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits of either case.
bool IsGuidString(std::string_view text);
// Two GUID strings name the same class (case ignored).
bool SameGuid(std::string_view a, std::string_view b);

}  // namespace platform::automation
