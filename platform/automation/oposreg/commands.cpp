#include "commands.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/class_factory.h"
#include "platform/registry.h"

namespace oposreg {
namespace {

namespace reg = platform::registry;
namespace pa = platform::automation;

std::string AbsolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string DefaultValue(const reg::Key& parent, const std::string& sub) {
  reg::Key key;
  std::string value;
  if (parent.OpenSubKey(sub, reg::Access::Read, key) != reg::kSuccess ||
      key.QueryString("", value) != reg::kSuccess) {
    return {};
  }
  return value;
}

std::string RegistryFailure(reg::Status status) {
  std::string message = reg::LastErrorMessage();
  return message.empty() ? "registry error " + std::to_string(status) : message;
}

// Loads `library` and runs one of its registration exports.
bool RunExport(const std::string& library, const char* export_name, const char* verb,
               std::string& absolute, std::ostream& err) {
  absolute = AbsolutePath(library);
  if (absolute.empty()) {
    err << "oposreg: cannot find " << library << "\n";
    return false;
  }
  dlerror();
  void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    err << "oposreg: cannot load " << absolute << ": " << (why ? why : "unknown error") << "\n";
    return false;
  }
  auto fn = reinterpret_cast<pa::RegisterServerFn>(dlsym(handle, export_name));
  bool ok = false;
  if (!fn) {
    err << "oposreg: " << absolute << " is not an in-process server (it does not export "
        << export_name << ")\n";
  } else {
    pa::HResult hr = fn();
    ok = hr == pa::kOk;
    if (!ok) {
      std::string detail = reg::LastErrorMessage();
      err << "oposreg: " << verb << " of " << absolute << " failed: " << pa::HResultName(hr)
          << (detail.empty() ? "" : " (" + detail + ")") << "\n";
    }
  }
  dlclose(handle);
  return ok;
}

}  // namespace

bool RegisterLibrary(const std::string& library, std::ostream& out, std::ostream& err) {
  std::string absolute;
  if (!RunExport(library, pa::kRegisterServerExport, "registration", absolute, err)) return false;
  out << "registered " << absolute << "\n";
  return ListClasses(absolute, out, err);
}

bool UnregisterLibrary(const std::string& library, std::ostream& out, std::ostream& err) {
  std::string absolute;
  if (!RunExport(library, pa::kUnregisterServerExport, "unregistration", absolute, err)) {
    return false;
  }
  out << "unregistered " << absolute << "\n";
  return true;
}

bool ListClasses(const std::string& library, std::ostream& out, std::ostream& err) {
  std::string filter = library.empty() ? std::string() : AbsolutePath(library);
  if (!library.empty() && filter.empty()) filter = library;  // a library that no longer exists
  reg::Key classes;
  reg::Status status = reg::Key::Open(reg::Root::ClassesRoot, "CLSID", reg::Access::Read, classes);
  if (status == reg::kNotFound) return true;
  if (status != reg::kSuccess) {
    err << "oposreg: cannot read HKEY_CLASSES_ROOT\\CLSID: " << RegistryFailure(status) << "\n";
    return false;
  }
  std::string clsid;
  for (uint32_t i = 0; (status = classes.EnumSubKey(i, clsid)) == reg::kSuccess; ++i) {
    std::string path = DefaultValue(classes, clsid + "\\InprocServer32");
    if (path.empty() || (!filter.empty() && path != filter)) continue;
    std::string prog_id = DefaultValue(classes, clsid + "\\ProgID");
    out << (prog_id.empty() ? "-" : prog_id) << "  " << clsid << "  " << path
        << (access(path.c_str(), F_OK) == 0 ? "" : "  (missing)") << "\n";
  }
  if (status != reg::kNoMoreItems) {
    err << "oposreg: cannot list HKEY_CLASSES_ROOT\\CLSID: " << RegistryFailure(status) << "\n";
    return false;
  }
  return true;
}

bool ImportFile(const std::string& file, std::ostream& out, std::ostream& err) {
  std::stringstream text;
  if (file == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      err << "oposreg: cannot read " << file << "\n";
      return false;
    }
    text << in.rdbuf();
  }
  std::string error;
  reg::Status status = reg::ImportRegedit(text.str(), &error);
  if (status != reg::kSuccess) {
    err << "oposreg: import of " << file << " failed: "
        << (error.empty() ? RegistryFailure(status) : error) << "\n";
    return false;
  }
  out << "imported " << file << "\n";
  return true;
}

bool ExportKey(const std::string& key, std::ostream& out, std::ostream& err) {
  std::string text;
  reg::Status status = reg::ExportRegedit(key, text);
  if (status != reg::kSuccess) {
    err << "oposreg: cannot export " << (key.empty() ? "the registry" : key) << ": "
        << RegistryFailure(status) << "\n";
    return false;
  }
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace oposreg
