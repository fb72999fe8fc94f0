#include "rpc_client.h"

#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <chrono>

namespace oposd::testing {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
using nlohmann::json;
using tcp = boost::asio::ip::tcp;

HttpAnswer HttpRequest(unsigned short port, const std::string& method, const std::string& target,
                       const std::map<std::string, std::string>& headers) {
  namespace http = beast::http;
  boost::asio::io_context io;
  beast::tcp_stream stream(io);
  beast::error_code ec;
  stream.socket().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port), ec);
  if (ec) return {};
  http::request<http::empty_body> request{http::string_to_verb(method), target, 11};
  request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
  for (const auto& [name, value] : headers) request.set(name, value);
  stream.expires_after(std::chrono::seconds(15));
  http::write(stream, request, ec);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  if (!ec) http::read(stream, buffer, response, ec);
  if (ec) return {};
  HttpAnswer answer{static_cast<int>(response.result_int()), {}, response.body()};
  for (const auto& field : response) {
    std::string name(field.name_string());
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    answer.headers[name] = std::string(field.value());
  }
  return answer;
}

RpcClient::RpcClient() = default;

RpcClient::~RpcClient() {
  if (connected_) {
    beast::error_code ignored;
    ws_->next_layer().socket().close(ignored);
  }
}

int RpcClient::Connect(unsigned short port, const std::string& target,
                       const std::vector<Header>& headers) {
  ws_.emplace(io_);
  beast::error_code ec;
  ws_->next_layer().socket().connect(
      tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port), ec);
  if (ec) return 0;
  ws_->set_option(websocket::stream_base::decorator([headers](websocket::request_type& request) {
    for (const auto& header : headers) request.set(header.name, header.value);
  }));
  ws_->read_message_max(64u << 20);
  websocket::response_type response;
  ws_->handshake(response, "127.0.0.1:" + std::to_string(port), target, ec);
  if (ec) return static_cast<int>(response.result_int());
  connected_ = true;
  StartRead();
  return 101;
}

void RpcClient::StartRead() {
  reading_ = true;
  ws_->async_read(buffer_, [this](beast::error_code ec, size_t) {
    reading_ = false;
    if (ec) {
      connected_ = false;
      return;
    }
    incoming_.push_back(json::parse(beast::buffers_to_string(buffer_.data()), nullptr, false));
    buffer_.consume(buffer_.size());
    StartRead();
  });
}

bool RpcClient::NextMessage(int timeout_ms, json& message) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (incoming_.empty()) {
    if (!connected_ && !reading_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    io_.restart();
    io_.run_one_for(deadline - now);
  }
  message = std::move(incoming_.front());
  incoming_.pop_front();
  return true;
}

json RpcClient::SendRaw(const std::string& text, bool binary, int timeout_ms) {
  if (!connected_) return nullptr;
  beast::error_code ec;
  ws_->binary(binary);
  ws_->write(boost::asio::buffer(text), ec);
  if (ec) return nullptr;
  json message;
  while (NextMessage(timeout_ms, message)) {
    if (message.is_object() && message.value("method", "") == "event") {
      events_.push_back(message["params"]);
      continue;
    }
    return message;
  }
  return nullptr;
}

json RpcClient::Request(const std::string& method, const json& params, int timeout_ms) {
  const int64_t id = next_id_++;
  json request = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
  if (!params.is_null()) request["params"] = params;
  if (!connected_) return nullptr;
  beast::error_code ec;
  ws_->binary(false);
  ws_->write(boost::asio::buffer(request.dump()), ec);
  if (ec) return nullptr;
  json message;
  while (NextMessage(timeout_ms, message)) {
    if (message.is_object() && message.value("method", "") == "event") {
      events_.push_back(message["params"]);
      continue;
    }
    if (message.is_object() && message.value("id", json()) == id) return message;
  }
  return nullptr;
}

json RpcClient::Result(const std::string& method, const json& params) {
  json response = Request(method, params);
  EXPECT_TRUE(response.is_object() && response.contains("result"))
      << method << " " << params.dump() << " -> " << response.dump();
  return response.is_object() ? response.value("result", json()) : json();
}

json RpcClient::WaitForEvent(const std::function<bool(const json&)>& match, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    while (!events_.empty()) {
      json event = std::move(events_.front());
      events_.pop_front();
      if (match(event)) return event;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    json message;
    if (left <= 0 || !NextMessage(static_cast<int>(left), message)) return nullptr;
    if (message.is_object() && message.value("method", "") == "event")
      events_.push_back(message["params"]);
  }
}

void RpcClient::Drop() {
  beast::error_code ignored;
  ws_->next_layer().socket().close(ignored);
  connected_ = false;
  io_.restart();
  io_.poll();  // the pending read ends
}

}  // namespace oposd::testing
