// One WebSocket connection: reads messages (at most kMaxMessageBytes of each is kept; a larger
// one is read to its end and answered with an error, the connection stays open), hands them
// to its RpcConnection, and writes answers and events from one outgoing queue, one write in
// flight at a time.
#pragma once

#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <memory>
#include <string>

#include "rpc_connection.h"

namespace oposd {

class SessionRegistry;

class WsSession : public std::enable_shared_from_this<WsSession> {
 public:
  static constexpr size_t kMaxMessageBytes = 1 << 20;
  // A client that does not read its messages while this much waits is disconnected.
  static constexpr size_t kMaxQueuedBytes = 64u << 20;

  WsSession(boost::asio::ip::tcp::socket&& socket, DeviceHost& host, SessionRegistry& registry,
            std::string peer);
  ~WsSession();

  void Run(boost::beast::http::request<boost::beast::http::string_body> request);
  // Closes the connection from any thread (the service is stopping).
  void Shutdown();

 private:
  void OnAccept(boost::beast::error_code ec);
  void ReadSome();
  void OnRead(boost::beast::error_code ec, size_t bytes);
  void Send(std::string message);
  void WriteNext();
  void OnWrite(boost::beast::error_code ec, size_t bytes);
  void End(const std::string& why);

  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  DeviceHost* host_;
  SessionRegistry& registry_;
  std::string peer_;
  std::unique_ptr<RpcConnection> rpc_;
  boost::beast::flat_buffer buffer_;
  std::string message_;
  bool oversized_ = false;
  std::deque<std::string> queue_;
  size_t queued_bytes_ = 0;
  bool ended_ = false;
  size_t requests_ = 0;
};

}  // namespace oposd
