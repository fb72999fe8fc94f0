// Object creation by ProgID or CLSID: registry lookup, a process-wide table of loaded
// server libraries, and unloading of the ones that hold nothing any more.
#include "platform/object_factory.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/class_factory.h"
#include "platform/registry.h"

namespace platform::automation {
namespace {

namespace reg = platform::registry;

struct LoadedLibrary {
  std::string path;
  void* handle = nullptr;
  GetClassObjectFn get_class_object = nullptr;
  CanUnloadNowFn can_unload_now = nullptr;  // null: the library stays loaded
};

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<LoadedLibrary>& Table() {
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

thread_local std::string last_error;

HResult Fail(HResult hr, std::string message) {
  last_error = std::move(message);
  return hr;
}

HResult ReadDefault(const std::string& path, std::string& out) {
  reg::Key key;
  reg::Status status = reg::Key::Open(reg::Root::ClassesRoot, path, reg::Access::Read, key);
  if (status == reg::kSuccess) status = key.QueryString("", out);
  if (status == reg::kSuccess && !out.empty()) return kOk;
  std::string why = status == reg::kSuccess ? "is empty" : "cannot be read";
  if (status == reg::kNotFound) why = "does not exist";
  return Fail(kClassNotRegistered, "HKEY_CLASSES_ROOT\\" + path + " " + why +
                                       (status == reg::kSuccess || status == reg::kNotFound
                                            ? std::string()
                                            : ": " + reg::LastErrorMessage()));
}

// Caller holds the table mutex.
HResult FindOrLoad(const std::string& path, LoadedLibrary*& out) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return Fail(kModuleNotFound, "cannot load " + path + ": " + (why ? why : "unknown error"));
  }
  auto& table = Table();
  auto known = std::find_if(table.begin(), table.end(),
                            [&](const LoadedLibrary& lib) { return lib.handle == handle; });
  if (known != table.end()) {
    dlclose(handle);  // the table already holds one reference
    out = &*known;
    return kOk;
  }
  LoadedLibrary lib;
  lib.path = path;
  lib.handle = handle;
  lib.get_class_object =
      reinterpret_cast<GetClassObjectFn>(dlsym(handle, kGetClassObjectExport));
  lib.can_unload_now = reinterpret_cast<CanUnloadNowFn>(dlsym(handle, kCanUnloadNowExport));
  if (!lib.get_class_object) {
    dlclose(handle);
    return Fail(kProcNotFound, path + " does not export " + kGetClassObjectExport);
  }
  table.push_back(std::move(lib));
  out = &table.back();
  return kOk;
}

}  // namespace

HResult ClsidFromProgId(std::string_view prog_id, std::string& clsid) {
  clsid.clear();
  if (prog_id.empty() || prog_id.find('\\') != std::string_view::npos) {
    return Fail(kClassNotRegistered, "\"" + std::string(prog_id) + "\" is not a ProgID");
  }
  std::string value;
  HResult hr = ReadDefault(std::string(prog_id) + "\\CLSID", value);
  if (!Succeeded(hr)) return hr;
  if (!IsGuidString(value)) {
    return Fail(kClassNotRegistered, "ProgID " + std::string(prog_id) +
                                         " names a malformed CLSID \"" + value + "\"");
  }
  clsid = value;
  return kOk;
}

HResult CreateObject(std::string_view prog_id, DispatchPtr& out) {
  out.Reset();
  std::string clsid;
  HResult hr = ClsidFromProgId(prog_id, clsid);
  if (!Succeeded(hr)) return hr;
  return CreateObjectByClsid(clsid, out);
}

HResult CreateObjectByClsid(std::string_view clsid, DispatchPtr& out) {
  out.Reset();
  last_error.clear();
  if (!IsGuidString(clsid)) {
    return Fail(kClassNotRegistered, "\"" + std::string(clsid) + "\" is not a CLSID");
  }
  std::string path;
  HResult hr = ReadDefault("CLSID\\" + std::string(clsid) + "\\InprocServer32", path);
  if (!Succeeded(hr)) return hr;

  ClassFactory* factory = nullptr;
  {
    // Held until the factory exists: a factory locks its library, so an unload running
    // after this block cannot pull the library away under CreateInstance.
    std::lock_guard<std::mutex> lock(TableMutex());
    LoadedLibrary* lib = nullptr;
    hr = FindOrLoad(path, lib);
    if (!Succeeded(hr)) return hr;
    hr = lib->get_class_object(std::string(clsid).c_str(), &factory);
    if (!Succeeded(hr) || !factory) {
      return Fail(Succeeded(hr) ? kFail : hr,
                  path + " does not provide class " + std::string(clsid) + " (" +
                      HResultName(hr) + ")");
    }
  }
  hr = factory->CreateInstance(out);
  factory->Release();
  if (!Succeeded(hr) || !out) {
    out.Reset();
    return Fail(Succeeded(hr) ? kFail : hr,
                "the class factory of " + std::string(clsid) + " failed (" + HResultName(hr) + ")");
  }
  return kOk;
}

void FreeUnusedLibraries() {
  std::lock_guard<std::mutex> lock(TableMutex());
  auto& table = Table();
  std::erase_if(table, [](const LoadedLibrary& lib) {
    if (!lib.can_unload_now || lib.can_unload_now() != kOk) return false;
    dlclose(lib.handle);
    return true;
  });
}

std::vector<std::string> LoadedServerLibraries() {
  std::lock_guard<std::mutex> lock(TableMutex());
  std::vector<std::string> paths;
  for (const LoadedLibrary& lib : Table()) paths.push_back(lib.path);
  return paths;
}

std::string LastCreateError() { return last_error; }

}  // namespace platform::automation
