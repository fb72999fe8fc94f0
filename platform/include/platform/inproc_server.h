// Support for a service-object library acting as an in-process automation server.
//
// The library links the `opos_inproc_server` object library, which provides the exports
// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and DllUnregisterServer and keeps
// this library's own lock count. The library declares its classes once by defining
// ServerClasses():
//
//   namespace platform::automation {
//   std::span<const ClassInfo> ServerClasses() {
//     static constexpr ClassInfo kClasses[] = {
//         {"RecPrinter.POSPrinter.SO", "{3C1F...}", "POS printer service object",
//          &NewServerObject<CPOSPrinter>},
//     };
//     return kClasses;
//   }
//   }
#pragma once

#include <cstdint>
#include <span>

#include "platform/class_factory.h"
#include "platform/dispatch.h"

// Everything below is per library: each server library holds its own copy.
#define OPOS_INPROC_LOCAL __attribute__((visibility("hidden")))

namespace platform::automation {

struct ClassInfo {
  const char* prog_id;      // "Vendor.Component.Name"
  const char* clsid;        // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  const char* description;  // default value of the ProgID and CLSID keys
  Dispatch* (*create)();    // a new object holding one reference
};

// Defined by the server library.
OPOS_INPROC_LOCAL std::span<const ClassInfo> ServerClasses();

// The library's lock count: live objects, live class factories and LockServer locks.
OPOS_INPROC_LOCAL void LockModule();
OPOS_INPROC_LOCAL void UnlockModule();
OPOS_INPROC_LOCAL int32_t ModuleLockCount();

// Holds one module lock for its lifetime.
class OPOS_INPROC_LOCAL ModuleLock {
 public:
  ModuleLock() { LockModule(); }
  ~ModuleLock() { UnlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

// T with the module lock taken before T is built and given back after T is gone, so the
// library cannot be unloaded while any part of the object exists.
template <class T>
class OPOS_INPROC_LOCAL ServerObject final : private ModuleLock, public T {};

template <class T>
OPOS_INPROC_LOCAL Dispatch* NewServerObject() {
  return new ServerObject<T>();
}

}  // namespace platform::automation

// The exports (default visibility, C linkage). Registration writes, for each class,
//   HKCR\<ProgID>                      (default) = description
//   HKCR\<ProgID>\CLSID               (default) = {clsid}
//   HKCR\CLSID\{clsid}                (default) = description
//   HKCR\CLSID\{clsid}\ProgID        (default) = ProgID
//   HKCR\CLSID\{clsid}\InprocServer32 (default) = absolute path of this library
// and fails with kSelfRegClass (details in platform::registry::LastErrorMessage()) when a class entry is malformed or the store refuses a write.
extern "C" {
platform::automation::HResult DllGetClassObject(const char* clsid,
                                                platform::automation::ClassFactory** factory);
platform::automation::HResult DllCanUnloadNow();
platform::automation::HResult DllRegisterServer();
platform::automation::HResult DllUnregisterServer();
}
