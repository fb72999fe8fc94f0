// The HTTP and WebSocket server: one port on each listening address, the page and opos.js by
// GET, and the JSON-RPC WebSocket at /ws once the access policy lets the request in.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "access_policy.h"
#include "device_host.h"

namespace oposd {

class WsSession;

// The open WebSocket sessions, so a stop can close them all.
class SessionRegistry {
 public:
  void Add(const std::shared_ptr<WsSession>& session);
  void Remove(const WsSession* session);
  void ShutdownAll();

 private:
  std::mutex mutex_;
  std::vector<std::weak_ptr<WsSession>> sessions_;
};

class Server {
 public:
  // `sessions` must outlive `io`: sessions still queued in it unregister when it is destroyed.
  Server(boost::asio::io_context& io, DeviceHost& host, AccessPolicy& policy,
         SessionRegistry& sessions);

  // Listens on each address (the first one decides the port when `port` is 0). Addresses
  // that cannot be used are logged; false when none can.
  bool Listen(const std::vector<std::string>& addresses, unsigned short port);
  // Serves on listening sockets made by someone else (socket activation). Sockets that are
  // not listening TCP sockets are logged and left alone; false when none can be used.
  bool Adopt(const std::vector<int>& fds);
  unsigned short Port() const { return port_; }
  const std::vector<std::string>& Origins() const { return origins_; }

  // Stops accepting and closes every connection.
  void Stop();

 private:
  // Logs the acceptor's address, notes it among the own origins and starts accepting.
  void Serve(std::unique_ptr<boost::asio::ip::tcp::acceptor> acceptor);
  void Accept(size_t index);

  boost::asio::io_context& io_;
  DeviceHost& host_;
  AccessPolicy& policy_;
  SessionRegistry& sessions_;
  std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
  std::vector<std::string> origins_;
  unsigned short port_ = 0;
};

}  // namespace oposd
