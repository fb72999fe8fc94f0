#include "tester.h"

#include <utility>

#include "platform/event.h"
#include "platform/message_queue.h"

namespace opostest {

using opos::control::ControlObject;
using opos::control::EqualsIgnoreCase;
using opos::control::MethodInfo;
using opos::control::ParamType;
using opos::control::PropertyInfo;
using opos::control::PropertyKind;
using platform::automation::Variant;
namespace ui = platform::ui;

namespace {

constexpr int32_t kFirstStringIndex = 1000000;  // OPOS string property indexes start here
constexpr int32_t kLongestWaitMs = 24 * 60 * 60 * 1000;

struct ButtonName {
  const char* name;
  int code;
};
constexpr ButtonName kButtons[] = {{"OK", ui::kIdOk},           {"Cancel", ui::kIdCancel},
                                   {"Yes", ui::kIdYes},         {"No", ui::kIdNo},
                                   {"Start", ui::kDialogStart}, {"Close", ui::kDialogClose}};

std::string NameOfButton(int code) {
  for (const ButtonName& button : kButtons)
    if (button.code == code) return button.name;
  return std::to_string(code);
}

const char* CountWord(size_t count) { return count == 1 ? " argument" : " arguments"; }

bool IsCommandWord(std::string_view word) {
  for (std::string_view reserved : {"open", "pump", "sleep", "ui"})
    if (EqualsIgnoreCase(word, reserved)) return true;
  return false;
}

std::string FormatValue(const Variant& value) {
  if (value.type() == Variant::Type::String) return Quote(value.ToString());
  return std::to_string(value.ToInt32());
}

}  // namespace

Tester::Tester(LinePrinter& out, std::shared_ptr<ui::ScriptedProvider> ui)
    : out_(out), ui_(std::move(ui)) {}

Tester::~Tester() {
  for (auto& [alias, device] : devices_) {
    if (device->object->IsOpen()) device->object->Close();
    device->object->on_status_update = nullptr;
    device->object->on_output_complete = nullptr;
    device->object->on_error = nullptr;
    device->object->on_direct_io = nullptr;
  }
}

std::string Tester::DescribeUiCall(const ui::ScriptedProvider::Call& call) {
  switch (call.kind) {
    case ui::ScriptedProvider::Call::kMessageBox:
      return "msgbox " + Quote(call.caption) + " " + Quote(call.text) + " -> " +
             NameOfButton(call.answer);
    case ui::ScriptedProvider::Call::kDialog:
      return "dialog " + Quote(call.caption) + " " + Quote(call.text) + " -> " +
             NameOfButton(call.answer);
    case ui::ScriptedProvider::Call::kBeep:
      return "beep " + std::to_string(call.flags) + " " + std::to_string(call.duration_ms);
  }
  return "";
}

bool Tester::RunLine(int line_number, std::string_view line) {
  size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos || line[first] == '#') return true;
  std::vector<Token> tokens;
  std::string error;
  if (Tokenize(line, tokens, error)) error = Run(tokens);
  if (error.empty()) return true;
  out_.Print("error " + std::to_string(line_number) + ": " + error);
  return false;
}

std::string Tester::Run(const std::vector<Token>& tokens) {
  const Token& head = tokens[0];
  if (head.kind != Token::Word) return "a line starts with a command or a device alias";
  if (EqualsIgnoreCase(head.text, "open")) return Open(tokens);
  if (EqualsIgnoreCase(head.text, "pump")) return Wait(tokens, true);
  if (EqualsIgnoreCase(head.text, "sleep")) return Wait(tokens, false);
  if (EqualsIgnoreCase(head.text, "ui")) return Ui(tokens);

  auto it = devices_.find(head.text);
  if (it == devices_.end()) return "unknown command or device " + head.text;
  Device& device = *it->second;
  if (tokens.size() < 2 || tokens[1].kind != Token::Word)
    return "expected a method, get, set, errorresponse or cofreezeevents after " + head.text;
  const std::string& verb = tokens[1].text;
  if (EqualsIgnoreCase(verb, "get")) return GetProperty(device, tokens);
  if (EqualsIgnoreCase(verb, "set")) return SetProperty(device, tokens);
  if (EqualsIgnoreCase(verb, "cofreezeevents")) {
    if (tokens.size() != 3 || tokens[2].kind != Token::Integer)
      return "usage: ALIAS cofreezeevents 0|1";
    device.object->FreezeContainerEvents(tokens[2].number != 0);
    return "";
  }
  if (EqualsIgnoreCase(verb, "errorresponse")) {
    if (tokens.size() != 3 || tokens[2].kind != Token::Integer)
      return "usage: ALIAS errorresponse N";
    device.error_response = tokens[2].number;
    return "";
  }
  return CallMethod(device, tokens);
}

std::string Tester::Open(const std::vector<Token>& tokens) {
  if (tokens.size() != 4 || tokens[1].kind != Token::Word || tokens[2].kind != Token::Word)
    return "usage: open ALIAS CLASS NAME";
  const std::string& alias = tokens[1].text;
  if (IsCommandWord(alias)) return "the alias " + alias + " is a command name";
  auto it = devices_.find(alias);
  if (it == devices_.end()) {
    auto object = opos::control::CreateControlObject(tokens[2].text);
    if (!object)
      return "unknown device class " + tokens[2].text + " (POSPrinter, CashDrawer or LineDisplay)";
    auto device = std::make_unique<Device>();
    device->alias = alias;
    device->object = std::move(object);
    AttachEvents(*device);
    it = devices_.emplace(alias, std::move(device)).first;
  } else if (!EqualsIgnoreCase(it->second->object->DeviceClass(), tokens[2].text)) {
    return "the alias " + alias + " is a " + std::string(it->second->object->DeviceClass());
  }
  ControlObject& object = *it->second->object;
  const int32_t result = object.Open(tokens[3].text);
  out_.Print(alias + " Open -> " + std::to_string(result) +
             " rc=" + std::to_string(object.ResultCode()) +
             " ext=" + std::to_string(object.ResultCodeExtended()));
  return "";
}

std::string Tester::Wait(const std::vector<Token>& tokens, bool pump) {
  if (tokens.size() != 2 || tokens[1].kind != Token::Integer || tokens[1].number < 0 ||
      tokens[1].number > kLongestWaitMs)
    return std::string("usage: ") + (pump ? "pump" : "sleep") + " MS (0 to 86400000)";
  const auto ms = static_cast<uint32_t>(tokens[1].number);
  if (pump)
    platform::PumpMessages(ms);
  else
    platform::SleepMs(ms);
  return "";
}

std::string Tester::Ui(const std::vector<Token>& tokens) {
  if (tokens.size() != 3 || !EqualsIgnoreCase(tokens[1].text, "press"))
    return "usage: ui press BUTTON";
  const Token& button = tokens[2];
  if (button.kind == Token::Integer) {
    ui_->Press(button.number);
    return "";
  }
  for (const ButtonName& known : kButtons) {
    if (button.kind == Token::Word && EqualsIgnoreCase(button.text, known.name)) {
      ui_->Press(known.code);
      return "";
    }
  }
  return "unknown button " + button.text + " (OK, Cancel, Yes, No, Start, Close or a number)";
}

std::string Tester::CallMethod(Device& device, const std::vector<Token>& tokens) {
  ControlObject& object = *device.object;
  const MethodInfo* method = object.Table().FindMethod(tokens[1].text);
  if (!method)
    return "unknown method " + tokens[1].text + " of " + std::string(object.DeviceClass());
  const size_t count = tokens.size() - 2;
  if (count != method->params.size())
    return std::string(method->name) + " takes " + std::to_string(method->params.size()) +
           CountWord(method->params.size()) + ", got " + std::to_string(count);

  // Storage for by-reference arguments; sized once so the references stay valid.
  std::vector<int32_t> numbers(count);
  std::vector<std::string> texts(count);
  std::vector<Variant> args;
  for (size_t i = 0; i < count; ++i) {
    const Token& token = tokens[i + 2];
    const ParamType type = method->params[i].type;
    const bool wants_string = type == ParamType::String || type == ParamType::StringRef;
    if (wants_string != (token.kind == Token::String))
      return "argument " + std::to_string(i + 1) + " (" + std::string(method->params[i].name) +
             ") of " + std::string(method->name) + " must be " +
             (wants_string ? "a quoted string" : "an integer");
    switch (type) {
      case ParamType::Long:
        args.emplace_back(token.number);
        break;
      case ParamType::String:
        args.emplace_back(token.text);
        break;
      case ParamType::LongRef:
        numbers[i] = token.number;
        args.push_back(Variant::IntRef(&numbers[i]));
        break;
      case ParamType::StringRef:
        texts[i] = token.text;
        args.push_back(Variant::StringRef(&texts[i]));
        break;
    }
  }
  int32_t result = 0;
  if (object.CallMethod(method->name, args, result) != platform::automation::kOk)
    return "the call of " + std::string(method->name) + " failed";
  std::string line = device.alias + " " + std::string(method->name) + " -> " +
                     std::to_string(result) + " rc=" + std::to_string(object.ResultCode()) +
                     " ext=" + std::to_string(object.ResultCodeExtended());
  for (size_t i = 0; i < count; ++i) {
    if (method->params[i].type == ParamType::LongRef)
      line += " " + std::string(method->params[i].name) + "=" + std::to_string(numbers[i]);
    else if (method->params[i].type == ParamType::StringRef)
      line += " " + std::string(method->params[i].name) + "=" + Quote(texts[i]);
  }
  out_.Print(line);
  return "";
}

std::string Tester::GetProperty(Device& device, const std::vector<Token>& tokens) {
  if (tokens.size() != 3 || tokens[2].kind == Token::String) return "usage: ALIAS get PROPERTY";
  ControlObject& object = *device.object;
  const Token& which = tokens[2];
  if (which.kind == Token::Integer) {
    const PropertyInfo* known = object.Table().FindPropertyByIndex(which.number);
    const std::string name = known ? std::string(known->name) : std::to_string(which.number);
    const std::string value = which.number >= kFirstStringIndex
                                  ? Quote(object.GetPropertyString(which.number))
                                  : std::to_string(object.GetPropertyNumber(which.number));
    out_.Print(device.alias + " " + name + " = " + value);
    return "";
  }
  const PropertyInfo* property = object.Table().FindProperty(which.text);
  if (!property)
    return "unknown property " + which.text + " of " + std::string(object.DeviceClass());
  Variant value;
  object.GetProperty(property->name, value);
  out_.Print(device.alias + " " + std::string(property->name) + " = " + FormatValue(value));
  return "";
}

std::string Tester::SetProperty(Device& device, const std::vector<Token>& tokens) {
  if (tokens.size() != 4 || tokens[2].kind == Token::String)
    return "usage: ALIAS set PROPERTY VALUE";
  ControlObject& object = *device.object;
  const Token& which = tokens[2];
  const Token& value = tokens[3];
  std::string name;
  bool is_string = false;
  if (which.kind == Token::Integer) {
    const PropertyInfo* known = object.Table().FindPropertyByIndex(which.number);
    name = known ? std::string(known->name) : std::to_string(which.number);
    is_string = which.number >= kFirstStringIndex;
  } else {
    const PropertyInfo* property = object.Table().FindProperty(which.text);
    if (!property)
      return "unknown property " + which.text + " of " + std::string(object.DeviceClass());
    if (!property->writable) return std::string(property->name) + " is read-only";
    name = property->name;
    is_string = property->kind == PropertyKind::String;
  }
  if (is_string != (value.kind == Token::String))
    return name + " takes " + (is_string ? "a quoted string" : "an integer");

  if (which.kind == Token::Integer) {
    if (is_string)
      object.SetPropertyString(which.number, value.text);
    else
      object.SetPropertyNumber(which.number, value.number);
  } else {
    object.SetProperty(name, is_string ? Variant(value.text) : Variant(value.number));
  }
  const std::string shown = is_string ? Quote(value.text) : std::to_string(value.number);
  out_.Print(device.alias + " " + name + " := " + shown +
             " rc=" + std::to_string(object.ResultCode()));
  return "";
}

void Tester::AttachEvents(Device& device) {
  const std::string prefix = "event " + device.alias + " ";
  ControlObject& object = *device.object;
  object.on_status_update = [this, prefix](int32_t data) {
    out_.Print(prefix + "StatusUpdate " + std::to_string(data));
  };
  object.on_output_complete = [this, prefix](int32_t id) {
    out_.Print(prefix + "OutputComplete " + std::to_string(id));
  };
  object.on_error = [this, prefix, &device](int32_t rc, int32_t ext, int32_t locus,
                                            int32_t& response) {
    response = device.error_response;
    out_.Print(prefix + "Error " + std::to_string(rc) + " " + std::to_string(ext) + " " +
               std::to_string(locus) + " -> " + std::to_string(response));
  };
  object.on_direct_io = [this, prefix](int32_t number, int32_t& data, std::string& text) {
    out_.Print(prefix + "DirectIO " + std::to_string(number) + " " + std::to_string(data) + " " +
               Quote(text));
  };
}

}  // namespace opostest
