#include "upload_request.h"

#include <dlfcn.h>

#include "platform/class_factory.h"
#include "platform/dispatch_table.h"
#include "platform/object_factory.h"
#include "ui_qt/program_dir.h"

namespace flashwise {
namespace {

namespace automation = platform::automation;

constexpr const char* kControlClsid = "{6D3A9B21-4C8E-4F57-9A10-2E7B5C4D8F31}";
constexpr automation::DispId kUploadPortId = 1, kUploadNetId = 2, kSetProgressSinkId = 3;
constexpr int32_t kCannotCall = -1;

// Receives the control's progress calls.
class ProgressSink : public automation::AutomationObject<ProgressSink> {
 public:
  explicit ProgressSink(std::function<void(int32_t, int32_t)> fn) : fn_(std::move(fn)) {}
  static const automation::DispatchTable<ProgressSink>& AutomationTable() {
    static const automation::DispatchTable<ProgressSink> table =
        automation::DispatchTable<ProgressSink>().Method(
            "Progress",
            [](ProgressSink& self, int32_t sent, int32_t total) { self.fn_(sent, total); });
    return table;
  }

 private:
  std::function<void(int32_t, int32_t)> fn_;
};

automation::DispatchPtr LoadBesideProgram(std::string& error) {
  const std::string path = ui_qt::ProgramDir() + "/../lib/libFlashwiseControl.so";
  // Kept loaded for the life of the program, like a control on a form.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    error += "; " + std::string(dlerror());
    return {};
  }
  auto get_class_object = reinterpret_cast<automation::GetClassObjectFn>(
      dlsym(library, automation::kGetClassObjectExport));
  automation::ClassFactory* factory = nullptr;
  if (!get_class_object || get_class_object(kControlClsid, &factory) != automation::kOk ||
      !factory) {
    error += "; " + path + " does not serve the control";
    return {};
  }
  automation::DispatchPtr control;
  const automation::HResult hr = factory->CreateInstance(control);
  factory->Release();
  if (hr != automation::kOk) error += "; " + automation::HResultName(hr);
  return control;
}

}  // namespace

automation::DispatchPtr CreateUploadControl(std::string& error) {
  automation::DispatchPtr control;
  if (automation::CreateObject(kControlProgId, control) == automation::kOk) return control;
  error = automation::LastCreateError();
  return LoadBesideProgram(error);
}

int32_t CallUploadControl(automation::Dispatch* control, const UploadRequest& request,
                          std::function<void(int32_t sent, int32_t total)> progress) {
  if (!control) return kCannotCall;
  automation::DispatchPtr sink;
  if (progress) sink = automation::DispatchPtr::Adopt(new ProgressSink(std::move(progress)));
  automation::Variant sink_arg(sink.get());
  control->Invoke(kSetProgressSinkId, automation::InvokeKind::Method, std::span(&sink_arg, 1),
                  nullptr);

  std::string file = request.file;
  automation::Variant result;
  automation::HResult hr;
  if (request.port.rfind("TCP", 0) == 0) {
    automation::Variant args[] = {automation::Variant(request.ip),
                                  automation::Variant(std::string("9100")),
                                  automation::Variant::StringRef(&file)};
    hr = control->Invoke(kUploadNetId, automation::InvokeKind::Method, args, &result);
  } else {
    std::string port = request.port;
    int32_t baud = request.baud_code, bits = request.bit_length, parity = request.parity;
    int32_t stop = request.stop_bit, handshake = request.handshake;
    automation::Variant args[] = {
        automation::Variant::StringRef(&port), automation::Variant::IntRef(&baud),
        automation::Variant::IntRef(&bits),    automation::Variant::IntRef(&parity),
        automation::Variant::IntRef(&stop),    automation::Variant::IntRef(&handshake),
        automation::Variant::StringRef(&file)};
    hr = control->Invoke(kUploadPortId, automation::InvokeKind::Method, args, &result);
  }
  automation::Variant no_sink;
  control->Invoke(kSetProgressSinkId, automation::InvokeKind::Method, std::span(&no_sink, 1),
                  nullptr);
  bool ok = false;
  const int32_t value = result.ToInt32(&ok);
  return automation::Succeeded(hr) && ok ? value : kCannotCall;
}

std::optional<ResultMessage> MessageForResult(int32_t result) {
  if (result == 0) {
    return ResultMessage{
        "Upload finished, and Writing of firmware file completed.\r\n"
        "firmware becomes available after the reset of a device.",
        false};
  }
  if (result >= -4 && result <= -1)
    return ResultMessage{"Communication error. Can not be transmitted.", true};
  return std::nullopt;
}

}  // namespace flashwise
