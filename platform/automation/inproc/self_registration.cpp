// DllRegisterServer / DllUnregisterServer: the HKEY_CLASSES_ROOT entries of every class the
// library declares.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "platform/inproc_server.h"
#include "platform/registry.h"

namespace platform::automation {
namespace {

namespace reg = platform::registry;

// Its address identifies this library to dladdr; a hidden function cannot be interposed.
void LibraryAnchor() {}

std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryAnchor), &info) == 0 || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
  return resolved;
}

bool IsValidProgId(std::string_view prog_id) {
  return !prog_id.empty() && prog_id.size() <= 39 &&
         prog_id.find('\\') == std::string_view::npos && !IsGuidString(prog_id);
}

bool IsValid(const ClassInfo& info) {
  return info.prog_id && info.clsid && info.description && info.create &&
         IsValidProgId(info.prog_id) && IsGuidString(info.clsid);
}

bool WriteDefault(const std::string& path, std::string_view text) {
  reg::Key key;
  return reg::Key::Create(reg::Root::ClassesRoot, path, key) == reg::kSuccess &&
         key.SetString("", text) == reg::kSuccess;
}

bool RegisterClass(const ClassInfo& info, const std::string& library) {
  std::string prog_key = info.prog_id;
  std::string clsid_key = std::string("CLSID\\") + info.clsid;
  return WriteDefault(prog_key, info.description) &&
         WriteDefault(prog_key + "\\CLSID", info.clsid) &&
         WriteDefault(clsid_key, info.description) &&
         WriteDefault(clsid_key + "\\ProgID", info.prog_id) &&
         WriteDefault(clsid_key + "\\InprocServer32", library);
}

// Deletes `path` below `parent` with everything under it; a missing key is not an error.
reg::Status DeleteTree(reg::Key& parent, const std::string& path) {
  reg::Key key;
  reg::Status status = parent.OpenSubKey(path, reg::Access::Write, key);
  if (status == reg::kNotFound) return reg::kSuccess;
  if (status != reg::kSuccess) return status;
  std::string child;
  while (key.EnumSubKey(0, child) == reg::kSuccess) {
    status = DeleteTree(key, child);
    if (status != reg::kSuccess) return status;
  }
  key.Close();
  status = parent.DeleteSubKey(path);
  return status == reg::kNotFound ? reg::kSuccess : status;
}

// The ProgID key goes only while it still names this class: another library may have
// taken the ProgID over since.
bool UnregisterClass(reg::Key& root, const ClassInfo& info) {
  reg::Key clsid_of_prog;
  std::string registered;
  if (root.OpenSubKey(std::string(info.prog_id) + "\\CLSID", reg::Access::Read, clsid_of_prog) ==
          reg::kSuccess &&
      clsid_of_prog.QueryString("", registered) == reg::kSuccess &&
      SameGuid(registered, info.clsid)) {
    clsid_of_prog.Close();
    if (DeleteTree(root, info.prog_id) != reg::kSuccess) return false;
  }
  return DeleteTree(root, std::string("CLSID\\") + info.clsid) == reg::kSuccess;
}

}  // namespace
}  // namespace platform::automation

using platform::automation::HResult;

extern "C" __attribute__((visibility("default"))) HResult DllRegisterServer() {
  namespace pa = platform::automation;
  std::string library = pa::LibraryPath();
  if (library.empty()) return pa::kFail;
  for (const pa::ClassInfo& info : pa::ServerClasses()) {
    if (!pa::IsValid(info) || !pa::RegisterClass(info, library)) return pa::kSelfRegClass;
  }
  return pa::kOk;
}

extern "C" __attribute__((visibility("default"))) HResult DllUnregisterServer() {
  namespace pa = platform::automation;
  namespace reg = platform::registry;
  reg::Key root;
  if (reg::Key::Open(reg::Root::ClassesRoot, "", reg::Access::Write, root) != reg::kSuccess) {
    return pa::kSelfRegClass;
  }
  HResult result = pa::kOk;
  for (const pa::ClassInfo& info : pa::ServerClasses()) {
    if (!pa::IsValid(info)) continue;  // never registered
    if (!pa::UnregisterClass(root, info)) result = pa::kSelfRegClass;
  }
  return result;
}
