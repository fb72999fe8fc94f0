// DllGetClassObject and DllCanUnloadNow for the library this object file is linked into.
#include <atomic>
#include <new>

#include "platform/inproc_server.h"

namespace platform::automation {
namespace {

class Factory final : public ClassFactory {
 public:
  explicit Factory(const ClassInfo& info) : info_(info) {}

  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HResult CreateInstance(DispatchPtr& out) override {
    out.Reset();
    try {
      Dispatch* object = info_.create();
      if (!object) return kFail;
      out = DispatchPtr::Adopt(object);
      return kOk;
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    } catch (...) {
      return kFail;
    }
  }

  HResult LockServer(bool lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return kOk;
  }

 private:
  ModuleLock lock_;  // a live factory keeps the library loaded
  const ClassInfo& info_;
  std::atomic<uint32_t> refs_{1};
};

}  // namespace
}  // namespace platform::automation

using platform::automation::ClassFactory;
using platform::automation::HResult;

extern "C" __attribute__((visibility("default"))) HResult DllGetClassObject(
    const char* clsid, ClassFactory** factory) {
  namespace pa = platform::automation;
  if (!factory) return pa::kPointer;
  *factory = nullptr;
  if (!clsid) return pa::kPointer;
  for (const pa::ClassInfo& info : pa::ServerClasses()) {
    if (pa::SameGuid(info.clsid, clsid)) {
      *factory = new (std::nothrow) pa::Factory(info);
      return *factory ? pa::kOk : pa::kOutOfMemory;
    }
  }
  return pa::kClassNotAvailable;
}

extern "C" __attribute__((visibility("default"))) HResult DllCanUnloadNow() {
  namespace pa = platform::automation;
  return pa::ModuleLockCount() == 0 ? pa::kOk : pa::kFalse;
}
