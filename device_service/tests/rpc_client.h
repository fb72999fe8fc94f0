// A JSON-RPC client over a real WebSocket (Beast), for the service's tests and benchmark:
// requests wait for their answer, and event notifications that arrive meanwhile are kept.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace oposd::testing {

// One plain HTTP request to 127.0.0.1:port; the status (0 when no answer came) and the
// answer's headers, lower-cased names.
struct HttpAnswer {
  int status = 0;
  std::map<std::string, std::string> headers;
  std::string body;
};
HttpAnswer HttpRequest(unsigned short port, const std::string& method, const std::string& target,
                       const std::map<std::string, std::string>& headers = {});

class RpcClient {
 public:
  struct Header {
    std::string name, value;
  };

  RpcClient();
  ~RpcClient();

  // Opens ws://127.0.0.1:port<target>. Returns 101 when connected, otherwise the HTTP status
  // of the refusal (0 when no answer came).
  int Connect(unsigned short port, const std::string& target,
              const std::vector<Header>& headers = {});

  // Sends a request and waits (up to `timeout_ms`) for its answer: the whole response
  // object, or a null json on time-out or a lost connection.
  nlohmann::json Request(const std::string& method, const nlohmann::json& params = nullptr,
                         int timeout_ms = 15000);
  // The answer's "result"; a failed test assertion when an error came.
  nlohmann::json Result(const std::string& method, const nlohmann::json& params = nullptr);

  // Sends raw text (or binary) and waits for the next answer that is not an event.
  nlohmann::json SendRaw(const std::string& text, bool binary = false, int timeout_ms = 15000);

  // Waits for an event notification's params that satisfy `match` (earlier ones that do not
  // are dropped); null on time-out.
  nlohmann::json WaitForEvent(const std::function<bool(const nlohmann::json&)>& match,
                              int timeout_ms = 15000);
  std::deque<nlohmann::json>& events() { return events_; }

  // Closes the TCP connection at once, without a WebSocket close: a client that vanished.
  void Drop();
  bool Connected() const { return connected_; }

 private:
  void StartRead();
  // Runs the I/O until a message is queued; false on time-out or a lost connection.
  bool NextMessage(int timeout_ms, nlohmann::json& message);

  boost::asio::io_context io_;
  std::optional<boost::beast::websocket::stream<boost::beast::tcp_stream>> ws_;
  boost::beast::flat_buffer buffer_;
  std::deque<nlohmann::json> incoming_;
  std::deque<nlohmann::json> events_;
  bool reading_ = false;
  bool connected_ = false;
  int64_t next_id_ = 1;
};

}  // namespace oposd::testing
