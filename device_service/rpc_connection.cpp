#include "rpc_connection.h"

#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "byte_text.h"
#include "control_objects/device_lookup.h"
#include "control_objects/opos_codes.h"
#include "log.h"

namespace oposd {

using nlohmann::json;
using opos::control::ControlObject;
using opos::control::DeviceTable;
using opos::control::MethodInfo;
using opos::control::ParamType;
using opos::control::PropertyInfo;
using opos::control::PropertyKind;
using platform::automation::HResult;
using platform::automation::Variant;

namespace {

RpcConnection::Outcome Failure(int code, std::string message, json data = nullptr) {
  RpcConnection::Outcome outcome;
  outcome.error = code;
  outcome.message = std::move(message);
  outcome.data = std::move(data);
  return outcome;
}

RpcConnection::Outcome Deferred() {
  RpcConnection::Outcome outcome;
  outcome.deferred = true;
  return outcome;
}

bool ReadInt32(const json& value, int32_t& out) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned()) {
      const auto number = value.get<uint64_t>();
      if (number > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
      out = static_cast<int32_t>(number);
      return true;
    }
    const auto number = value.get<int64_t>();
    if (number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max())
      return false;
    out = static_cast<int32_t>(number);
    return true;
  }
  return false;
}

bool ReadBytes(const json& value, std::string& out) {
  return value.is_string() && TextToBytes(value.get_ref<const std::string&>(), out);
}

// A member of `params` that must be a string; empty when it is missing or not one.
const std::string* StringMember(const json& params, const char* name) {
  auto it = params.find(name);
  if (it == params.end() || !it->is_string()) return nullptr;
  return &it->get_ref<const std::string&>();
}

json PropertyValue(const PropertyInfo& property, const Variant& value) {
  switch (property.kind) {
    case PropertyKind::Bool:
      return value.ToInt32() != 0;
    case PropertyKind::String:
      return BytesToText(value.ToString());
    case PropertyKind::Number:
      break;
  }
  return value.ToInt32();
}

const char* KindName(PropertyKind kind) {
  switch (kind) {
    case PropertyKind::Bool:
      return "a boolean (or 0/1)";
    case PropertyKind::String:
      return "a string";
    case PropertyKind::Number:
      break;
  }
  return "a 32-bit integer";
}

}  // namespace

RpcConnection::RpcConnection(DeviceHost& host, Send send, Post post, std::string peer)
    : host_(host), send_(std::move(send)), post_(std::move(post)), peer_(std::move(peer)) {}

RpcConnection::~RpcConnection() {
  // Each device thread releases and closes its device as it ends; the host joins it.
  for (auto& [handle, device] : devices_) device.thread->Stop();
}

void RpcConnection::OnText(std::string_view text) {
  static const json null_id = nullptr;
  json request = json::parse(text, nullptr, false);
  if (request.is_discarded()) {
    Reply(&null_id, Failure(rpc_error::kParseError, "Parse error: the message is not JSON"), "");
    return;
  }
  if (request.is_array()) {
    Reply(&null_id,
          Failure(rpc_error::kInvalidRequest, "Invalid Request: batches are not supported"), "");
    return;
  }
  const json* id = nullptr;
  if (request.is_object()) {
    auto found = request.find("id");
    if (found != request.end()) id = &*found;
  }
  if (!request.is_object() || request.value("jsonrpc", json()) != "2.0" ||
      !request.contains("method") || !request["method"].is_string() ||
      (id && !id->is_string() && !id->is_number_integer() && !id->is_null())) {
    Reply(&null_id,
          Failure(rpc_error::kInvalidRequest,
                  "Invalid Request: an object with \"jsonrpc\": \"2.0\", a string \"method\" "
                  "and an optional string or integer \"id\""),
          "");
    return;
  }
  const std::string method = request["method"];
  json params = request.value("params", json::object());
  if (!params.is_object()) {
    Reply(id, Failure(rpc_error::kInvalidParams, "Invalid params: \"params\" must be an object"),
          method);
    return;
  }
  Outcome outcome = Dispatch(id, method, params);
  if (!outcome.deferred) Reply(id, outcome, method);
}

void RpcConnection::OnBinary() {
  static const json null_id = nullptr;
  Reply(&null_id,
        Failure(rpc_error::kInvalidRequest, "Invalid Request: send JSON-RPC as text messages"),
        "");
}

void RpcConnection::OnOversized(size_t limit) {
  static const json null_id = nullptr;
  Reply(&null_id,
        Failure(rpc_error::kInvalidRequest, "Invalid Request: the message is larger than " +
                                                std::to_string(limit) + " bytes"),
        "");
}

RpcConnection::Outcome RpcConnection::Dispatch(const json* id, const std::string& method,
                                               const json& params) {
  if (method == "list") return List();
  if (method == "open") return Open(id, params);
  if (method == "close") return Close(id, params);
  if (method == "get") return Get(id, params);
  if (method == "set") return Set(id, params);
  if (method == "call") return Call(id, params);
  if (method == "answerError") return AnswerError(params);
  return Failure(rpc_error::kMethodNotFound, "Method not found: " + method);
}

RpcConnection::Outcome RpcConnection::List() {
  std::vector<opos::control::DeviceListing> entries;
  std::string problem;
  if (opos::control::ListDeviceEntries(entries, &problem) != opos::kSuccess)
    return Failure(rpc_error::kRegistryUnreadable, problem);
  Outcome outcome;
  outcome.result = json::array();
  for (const auto& entry : entries) {
    // Applications open devices by logical name; a key without one is opened by its key.
    const std::string& name =
        entry.logical_names.empty() ? entry.key_name : entry.logical_names.front();
    outcome.result.push_back({{"name", BytesToText(name)},
                              {"class", entry.class_name},
                              {"service", BytesToText(entry.prog_id)},
                              {"key", BytesToText(entry.key_name)},
                              {"logicalNames", json::array()}});
    for (const auto& logical : entry.logical_names)
      outcome.result.back()["logicalNames"].push_back(BytesToText(logical));
  }
  return outcome;
}

RpcConnection::Outcome RpcConnection::Open(const json* id, const json& params) {
  std::string name;
  auto name_member = params.find("name");
  if (name_member == params.end() || !ReadBytes(*name_member, name))
    return Failure(rpc_error::kInvalidParams, "Invalid params: open needs a string \"name\"");
  const DeviceTable* table = nullptr;
  if (auto class_member = params.find("class"); class_member != params.end()) {
    if (class_member->is_string())
      table = opos::control::FindDeviceTable(class_member->get_ref<const std::string&>());
    if (!table)
      return Failure(rpc_error::kInvalidParams,
                     "Invalid params: \"class\" is POSPrinter, CashDrawer or LineDisplay");
  } else {
    // The name alone: the class whose entry it names. A name two classes share (a printer
    // and its drawer under one logical name) needs "class".
    std::vector<const DeviceTable*> found;
    std::string problem;
    for (const DeviceTable* candidate : {&opos::control::PosPrinterTable(),
                                         &opos::control::CashDrawerTable(),
                                         &opos::control::LineDisplayTable()}) {
      opos::control::DeviceEntry entry;
      if (opos::control::FindDeviceEntry(candidate->class_name, name, entry, &problem) ==
          opos::kSuccess)
        found.push_back(candidate);
      if (!problem.empty()) return Failure(rpc_error::kRegistryUnreadable, problem);
    }
    if (found.empty())
      return Failure(rpc_error::kOpenFailed, "no device entry is named \"" + name + "\"",
                     {{"resultCode", opos::kNoExist}});
    if (found.size() > 1)
      return Failure(rpc_error::kInvalidParams,
                     "Invalid params: \"" + name + "\" names a " +
                         std::string(found[0]->class_name) + " and a " +
                         std::string(found[1]->class_name) + "; give \"class\" too");
    table = found.front();
  }
  if (devices_.size() >= kMaxDevicesPerConnection)
    return Failure(rpc_error::kTooManyDevices,
                   "this connection has " + std::to_string(kMaxDevicesPerConnection) +
                       " devices open already");

  const int64_t handle = next_handle_++;
  auto post = post_;
  auto sink = [this, post, handle](json event) {
    event["handle"] = handle;
    json notification = {{"jsonrpc", "2.0"}, {"method", "event"}, {"params", std::move(event)}};
    post([this, message = notification.dump()]() mutable { send_(std::move(message)); });
  };
  // Logical names and letter case lead to one device entry, so one claim key.
  opos::control::DeviceEntry entry;
  std::string key = name;
  if (opos::control::FindDeviceEntry(table->class_name, name, entry) == opos::kSuccess)
    key = entry.key_name;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto thread = host_.Start(std::string(table->class_name), std::move(sink));
  devices_[handle] = {thread, table, std::string(table->class_name) + "\\" + key};

  auto reply = DeferredReply(id, "open");
  auto forget = [this, post, handle] {
    post([this, handle] {
      auto it = devices_.find(handle);
      if (it == devices_.end()) return;
      it->second.thread->Stop();
      devices_.erase(it);
    });
  };
  thread->Run([name, handle, reply, forget](ControlObject& device) {
    const int32_t result = device.Open(name);
    if (result == opos::kSuccess) {
      Outcome outcome;
      outcome.result = {{"handle", handle}};
      reply(std::move(outcome));
      return;
    }
    json data = {{"resultCode", result}};
    std::string message = "Open \"" + name + "\" returned " + std::to_string(result);
    if (!device.OpenProblem().empty()) {
      data["problem"] = device.OpenProblem();
      message += ": " + device.OpenProblem();
    }
    forget();
    reply(Failure(rpc_error::kOpenFailed, message, std::move(data)));
  });
  return Deferred();
}

RpcConnection::Device* RpcConnection::FindDevice(const json& params, Outcome& failure) {
  auto member = params.find("handle");
  int32_t handle = 0;
  if (member == params.end() || !ReadInt32(*member, handle)) {
    failure = Failure(rpc_error::kInvalidParams, "Invalid params: an integer \"handle\"");
    return nullptr;
  }
  auto it = devices_.find(handle);
  if (it == devices_.end()) {
    failure = Failure(rpc_error::kUnknownHandle,
                      "no device with handle " + std::to_string(handle) + " on this connection");
    return nullptr;
  }
  return &it->second;
}

const PropertyInfo* RpcConnection::FindProperty(const Device& device, const json& params,
                                                Outcome& failure) {
  const std::string* name = StringMember(params, "property");
  if (!name) {
    failure = Failure(rpc_error::kInvalidParams, "Invalid params: a string \"property\"");
    return nullptr;
  }
  const PropertyInfo* property = device.table->FindProperty(*name);
  if (!property)
    failure = Failure(rpc_error::kUnknownMember,
                      std::string(device.table->class_name) + " has no property " + *name);
  return property;
}

RpcConnection::Outcome RpcConnection::Close(const json* id, const json& params) {
  Outcome failure;
  Device* device = FindDevice(params, failure);
  if (!device) return failure;
  auto reply = DeferredReply(id, "close");
  DeviceThread* thread = device->thread.get();
  ClaimArbiter& arbiter = host_.Arbiter();
  device->thread->Finish([reply, thread, &arbiter](ControlObject& object) {
    if (object.Claimed()) object.ReleaseDevice();
    Outcome outcome;
    outcome.result = object.Close();
    arbiter.ReleaseAll(thread);
    reply(std::move(outcome));
  });
  devices_.erase(params.at("handle").get<int64_t>());
  return Deferred();
}

RpcConnection::Outcome RpcConnection::Get(const json* id, const json& params) {
  Outcome failure;
  Device* device = FindDevice(params, failure);
  const PropertyInfo* property = device ? FindProperty(*device, params, failure) : nullptr;
  if (!property) return failure;
  auto reply = DeferredReply(id, "get");
  device->thread->Run([reply, property](ControlObject& object) {
    Variant value;
    const HResult status = object.GetProperty(property->name, value);
    if (status != platform::automation::kOk) {
      reply(Failure(rpc_error::kUnknownMember, "reading " + std::string(property->name) +
                                                   " failed (" + std::to_string(status) + ")"));
      return;
    }
    Outcome outcome;
    outcome.result = PropertyValue(*property, value);
    reply(std::move(outcome));
  });
  return Deferred();
}

RpcConnection::Outcome RpcConnection::Set(const json* id, const json& params) {
  Outcome failure;
  Device* device = FindDevice(params, failure);
  const PropertyInfo* property = device ? FindProperty(*device, params, failure) : nullptr;
  if (!property) return failure;
  if (!property->writable)
    return Failure(rpc_error::kReadOnly, std::string(property->name) + " is read-only");
  auto member = params.find("value");
  Variant value;
  bool valid = member != params.end();
  if (valid) {
    int32_t number = 0;
    std::string bytes;
    switch (property->kind) {
      case PropertyKind::Bool:
        if (member->is_boolean()) {
          value = Variant(member->get<bool>() ? 1 : 0);
        } else if (ReadInt32(*member, number) && (number == 0 || number == 1)) {
          value = Variant(number);
        } else {
          valid = false;
        }
        break;
      case PropertyKind::Number:
        valid = ReadInt32(*member, number);
        value = Variant(number);
        break;
      case PropertyKind::String:
        valid = ReadBytes(*member, bytes);
        value = Variant(bytes);
        break;
    }
  }
  if (!valid)
    return Failure(rpc_error::kInvalidParams, "Invalid params: \"value\" of " +
                                                  std::string(property->name) + " must be " +
                                                  KindName(property->kind));
  auto reply = DeferredReply(id, "set");
  device->thread->Run([reply, property, value](ControlObject& object) {
    const HResult status = object.SetProperty(property->name, value);
    if (status != platform::automation::kOk) {
      reply(Failure(rpc_error::kUnknownMember, "writing " + std::string(property->name) +
                                                   " failed (" + std::to_string(status) + ")"));
      return;
    }
    reply(Outcome{});
  });
  return Deferred();
}

RpcConnection::Outcome RpcConnection::Call(const json* id, const json& params) {
  Outcome failure;
  Device* device = FindDevice(params, failure);
  if (!device) return failure;
  const std::string* name = StringMember(params, "method");
  if (!name) return Failure(rpc_error::kInvalidParams, "Invalid params: a string \"method\"");
  const MethodInfo* method = device->table->FindMethod(*name);
  if (!method)
    return Failure(rpc_error::kUnknownMember,
                   std::string(device->table->class_name) + " has no method " + *name);
  if (method->dispid == opos::control::kDispIdOpen || method->dispid == opos::control::kDispIdClose)
    return Failure(rpc_error::kInvalidParams,
                   "Invalid params: a device is opened and closed with open and close");
  json args = params.value("args", json::array());
  if (!args.is_array() || args.size() != method->params.size()) {
    std::string expected;
    for (const auto& param : method->params) {
      if (!expected.empty()) expected += ", ";
      expected += std::string(param.name) +
                  (param.type == ParamType::String || param.type == ParamType::StringRef
                       ? " (string)"
                       : " (integer)");
    }
    return Failure(rpc_error::kInvalidParams,
                   "Invalid params: " + std::string(method->name) + " takes \"args\": [" +
                       expected + "]");
  }
  // Values in parameter order; by-reference parameters start with the value given.
  std::vector<int32_t> numbers(args.size());
  std::vector<std::string> strings(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const ParamType type = method->params[i].type;
    const bool is_string = type == ParamType::String || type == ParamType::StringRef;
    if (is_string ? !ReadBytes(args[i], strings[i]) : !ReadInt32(args[i], numbers[i]))
      return Failure(rpc_error::kInvalidParams,
                     "Invalid params: argument " + std::to_string(i + 1) + " (" +
                         std::string(method->params[i].name) + ") of " +
                         std::string(method->name) + " must be " +
                         (is_string ? "a string of characters up to U+00FF"
                                    : "a 32-bit integer"));
  }
  auto reply = DeferredReply(id, "call");
  const bool claims = method->name == "ClaimDevice" || method->name == "Claim";
  const bool releases = method->name == "ReleaseDevice" || method->name == "Release";
  DeviceThread* thread = device->thread.get();
  ClaimArbiter& arbiter = host_.Arbiter();
  device->thread->Run([reply, method, numbers, strings, claims, releases, thread, &arbiter,
                       key = device->claim_key](ControlObject& object) mutable {
    // Another client holds the device (or is claiming it): wait for it here, within the
    // claim's time-out, and answer E_CLAIMED when it keeps it.
    if (claims && !object.Claimed() &&
        !arbiter.Acquire(key, thread, numbers[0], [thread] { return thread->StopRequested(); })) {
      Outcome outcome;
      outcome.result = {{"result", opos::kClaimed}, {"out", json::array()}};
      reply(std::move(outcome));
      return;
    }
    std::vector<Variant> values;
    for (size_t i = 0; i < numbers.size(); ++i) {
      switch (method->params[i].type) {
        case ParamType::Long:
          values.emplace_back(numbers[i]);
          break;
        case ParamType::String:
          values.emplace_back(strings[i]);
          break;
        case ParamType::LongRef:
          values.push_back(Variant::IntRef(&numbers[i]));
          break;
        case ParamType::StringRef:
          values.push_back(Variant::StringRef(&strings[i]));
          break;
      }
    }
    int32_t result = 0;
    const HResult status = object.CallMethod(method->name, values, result);
    if ((claims || releases) && !object.Claimed()) arbiter.Release(key, thread);
    if (status != platform::automation::kOk) {
      reply(Failure(rpc_error::kInvalidParams, "calling " + std::string(method->name) +
                                                   " failed (" + std::to_string(status) + ")"));
      return;
    }
    Outcome outcome;
    outcome.result = {{"result", result}, {"out", json::array()}};
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (method->params[i].type == ParamType::LongRef) outcome.result["out"].push_back(numbers[i]);
      if (method->params[i].type == ParamType::StringRef)
        outcome.result["out"].push_back(BytesToText(strings[i]));
    }
    reply(std::move(outcome));
  });
  return Deferred();
}

RpcConnection::Outcome RpcConnection::AnswerError(const json& params) {
  Outcome failure;
  Device* device = FindDevice(params, failure);
  if (!device) return failure;
  int32_t response = 0;
  auto member = params.find("response");
  if (member == params.end() || !ReadInt32(*member, response) ||
      (response != opos::kErRetry && response != opos::kErClear))
    return Failure(rpc_error::kInvalidParams,
                   "Invalid params: \"response\" is 11 (retry) or 12 (clear)");
  if (!device->thread->AnswerError(response))
    return Failure(rpc_error::kNoErrorWaiting, "no Error event of this device waits for an answer");
  return Outcome{};
}

void RpcConnection::Reply(const json* id, const Outcome& outcome, std::string_view method) {
  if (outcome.error != 0)
    LogLine(peer_ + ": " + (method.empty() ? std::string("request") : std::string(method)) +
            ": error " + std::to_string(outcome.error) + ": " + outcome.message);
  if (!id) return;  // a notification gets no answer
  json reply = {{"jsonrpc", "2.0"}, {"id", *id}};
  if (outcome.error != 0) {
    reply["error"] = {{"code", outcome.error}, {"message", outcome.message}};
    if (!outcome.data.is_null()) reply["error"]["data"] = outcome.data;
  } else {
    reply["result"] = outcome.result;
  }
  send_(reply.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::function<void(RpcConnection::Outcome)> RpcConnection::DeferredReply(const json* id,
                                                                          std::string method) {
  std::optional<json> id_copy;
  if (id) id_copy = *id;
  auto post = post_;
  return [this, post, id_copy, method](Outcome outcome) {
    post([this, id_copy, method, outcome = std::move(outcome)] {
      Reply(id_copy ? &*id_copy : nullptr, outcome, method);
    });
  };
}

}  // namespace oposd
