#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/dispatch.h"
#include "platform/dispatch_table.h"

namespace platform::automation {

namespace dispatch_detail {

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace dispatch_detail

HResult InvokeByName(Dispatch* object, std::string_view name, InvokeKind kind,
                     std::span<Variant> args, Variant* result) {
  if (!object) return kPointer;
  DispId id = kDispIdUnknown;
  HResult hr = object->GetIDsOfNames(name, id);
  if (!Succeeded(hr)) return hr;
  return object->Invoke(id, kind, args, result);
}

HResult CallMethod(Dispatch* object, std::string_view name, std::initializer_list<Variant> args,
                   Variant* result) {
  std::vector<Variant> copies(args);  // by-reference variants still point at the caller's data
  return InvokeByName(object, name, InvokeKind::Method, copies, result);
}

HResult GetProperty(Dispatch* object, std::string_view name, Variant& value) {
  return InvokeByName(object, name, InvokeKind::PropertyGet, {}, &value);
}

HResult SetProperty(Dispatch* object, std::string_view name, Variant value) {
  return InvokeByName(object, name, InvokeKind::PropertyPut, std::span<Variant>(&value, 1),
                      nullptr);
}

std::string HResultName(HResult hr) {
  switch (hr) {
    case kOk: return "S_OK";
    case kFalse: return "S_FALSE";
    case kNotImplemented: return "E_NOTIMPL";
    case kNoInterface: return "E_NOINTERFACE";
    case kPointer: return "E_POINTER";
    case kFail: return "E_FAIL";
    case kInvalidArg: return "E_INVALIDARG";
    case kOutOfMemory: return "E_OUTOFMEMORY";
    case kMemberNotFound: return "DISP_E_MEMBERNOTFOUND";
    case kTypeMismatch: return "DISP_E_TYPEMISMATCH";
    case kUnknownName: return "DISP_E_UNKNOWNNAME";
    case kBadParamCount: return "DISP_E_BADPARAMCOUNT";
    case kClassNotAvailable: return "CLASS_E_CLASSNOTAVAILABLE";
    case kClassNotRegistered: return "REGDB_E_CLASSNOTREG";
    case kModuleNotFound: return "ERROR_MOD_NOT_FOUND";
    case kProcNotFound: return "ERROR_PROC_NOT_FOUND";
    case kSelfRegClass: return "SELFREG_E_CLASS";
    default: break;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(hr));
  return text;
}

}  // namespace platform::automation
