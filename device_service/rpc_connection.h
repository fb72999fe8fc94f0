// The JSON-RPC 2.0 side of one WebSocket connection: it parses each message, answers list,
// open, close, get, set, call and answerError, and owns the devices the connection opened.
// Every member runs on the connection's strand. Calls on a device run on that device's
// thread; their answers and the device's events come back to the strand through `post`.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "control_objects/member_table.h"
#include "device_host.h"

namespace oposd {

// JSON-RPC error codes: the protocol's own, and the service's (-32001 and below).
namespace rpc_error {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kUnknownHandle = -32001;
inline constexpr int kUnknownMember = -32002;
inline constexpr int kReadOnly = -32003;
inline constexpr int kOpenFailed = -32004;
inline constexpr int kNoErrorWaiting = -32005;
inline constexpr int kTooManyDevices = -32006;
inline constexpr int kRegistryUnreadable = -32007;
}  // namespace rpc_error

class RpcConnection {
 public:
  // `send` writes one text message (called on the strand). `post` runs a function on the
  // strand later if the connection still exists; callable from any thread.
  using Send = std::function<void(std::string message)>;
  using Post = std::function<void(std::function<void()>)>;

  static constexpr size_t kMaxDevicesPerConnection = 32;

  RpcConnection(DeviceHost& host, Send send, Post post, std::string peer);
  ~RpcConnection();  // every device still open is released and closed
  RpcConnection(const RpcConnection&) = delete;
  RpcConnection& operator=(const RpcConnection&) = delete;

  void OnText(std::string_view text);
  void OnBinary();
  void OnOversized(size_t limit);
  size_t OpenDevices() const { return devices_.size(); }

 // A request's outcome: a result, or an error; `deferred` when a device thread answers.
  struct Outcome {
    nlohmann::json result;
    int error = 0;
    std::string message;
    nlohmann::json data;
    bool deferred = false;
  };

 private:
  struct Device {
    std::shared_ptr<DeviceThread> thread;
    const opos::control::DeviceTable* table;
    std::string claim_key;  // the device entry, as the claim arbiter knows it
  };
  Outcome Dispatch(const nlohmann::json* id, const std::string& method,
                   const nlohmann::json& params);
  Outcome List();
  Outcome Open(const nlohmann::json* id, const nlohmann::json& params);
  Outcome Close(const nlohmann::json* id, const nlohmann::json& params);
  Outcome Get(const nlohmann::json* id, const nlohmann::json& params);
  Outcome Set(const nlohmann::json* id, const nlohmann::json& params);
  Outcome Call(const nlohmann::json* id, const nlohmann::json& params);
  Outcome AnswerError(const nlohmann::json& params);
  Device* FindDevice(const nlohmann::json& params, Outcome& failure);
  static const opos::control::PropertyInfo* FindProperty(const Device& device,
                                                         const nlohmann::json& params,
                                                         Outcome& failure);

  // Sends the answer to a request (nothing for a notification, whose id is absent).
  void Reply(const nlohmann::json* id, const Outcome& outcome, std::string_view method);
  // An answer from a device thread: posted to the strand and sent from there.
  std::function<void(Outcome)> DeferredReply(const nlohmann::json* id, std::string method);

  DeviceHost& host_;
  Send send_;
  Post post_;
  std::string peer_;
  std::map<int64_t, Device> devices_;
  int64_t next_handle_ = 1;
};

}  // namespace oposd
