#include "server.h"

#include <sys/socket.h>

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "log.h"
#include "web_content.h"
#include "ws_session.h"

namespace oposd {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

void SessionRegistry::Add(const std::shared_ptr<WsSession>& session) {
  std::lock_guard lock(mutex_);
  sessions_.push_back(session);
}

void SessionRegistry::Remove(const WsSession* session) {
  std::lock_guard lock(mutex_);
  std::erase_if(sessions_, [session](const std::weak_ptr<WsSession>& weak) {
    auto locked = weak.lock();
    return !locked || locked.get() == session;
  });
}

void SessionRegistry::ShutdownAll() {
  std::vector<std::shared_ptr<WsSession>> open;
  {
    std::lock_guard lock(mutex_);
    for (auto& weak : sessions_)
      if (auto session = weak.lock()) open.push_back(std::move(session));
  }
  for (auto& session : open) session->Shutdown();
}

namespace {

std::string PeerName(const tcp::socket& socket) {
  beast::error_code ec;
  const auto endpoint = socket.remote_endpoint(ec);
  if (ec) return "unknown peer";
  const auto address = endpoint.address();
  return (address.is_v6() ? "[" + address.to_string() + "]" : address.to_string()) + ":" +
         std::to_string(endpoint.port());
}

std::string_view PathOf(std::string_view target) {
  return target.substr(0, target.find_first_of("?#"));
}

// Reads plain HTTP requests: serves the page's files, refuses or upgrades /ws.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket&& socket, DeviceHost& host, AccessPolicy& policy,
              SessionRegistry& sessions)
      : stream_(std::move(socket)),
        host_(host),
        policy_(policy),
        sessions_(sessions),
        peer_(PeerName(stream_.socket())) {}

  void Run() {
    asio::dispatch(stream_.get_executor(),
                   beast::bind_front_handler(&HttpSession::Read, shared_from_this()));
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->body_limit(64 * 1024);
    parser_->header_limit(16 * 1024);
    stream_.expires_after(std::chrono::seconds(30));
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&HttpSession::OnRead, shared_from_this()));
  }

  void OnRead(beast::error_code ec, size_t) {
    if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
        ec == asio::error::connection_reset || ec == asio::error::operation_aborted) {
      beast::error_code ignored;
      stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
      return;
    }
    if (ec) {
      LogLine(peer_ + ": bad HTTP request: " + ec.message());
      Respond(Text(http::status::bad_request, "bad request\n", 11), false);
      return;
    }
    auto request = parser_->release();
    const std::string_view path = PathOf(request.target());
    if (websocket::is_upgrade(request)) {
      Upgrade(std::move(request), path);
      return;
    }
    // A web till on another origin imports the JavaScript client as a module, which the
    // browser fetches in CORS mode (with a preflight where the till's page is public and the
    // service on this machine). The client holds no secret: any origin may load it; the
    // token still guards /ws.
    const bool client_module = path == "/opos.js";
    if (client_module && request.method() == http::verb::options) {
      http::response<http::string_body> response{http::status::no_content, request.version()};
      response.set(http::field::server, "oposd");
      response.set(http::field::access_control_allow_origin, "*");
      response.set(http::field::access_control_allow_methods, "GET, HEAD");
      response.set("Access-Control-Allow-Private-Network", "true");
      response.keep_alive(request.keep_alive());
      Respond(std::move(response), request.keep_alive());
      return;
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      LogLine(peer_ + ": " + std::string(request.method_string()) + " " + std::string(path) +
              " refused (405)");
      auto response = Text(http::status::method_not_allowed, "only GET\n", request.version());
      response.set(http::field::allow, "GET, HEAD");
      Respond(std::move(response), request.keep_alive());
      return;
    }
    const WebFile* file = FindWebFile(path);
    if (!file) {
      const bool ws_without_upgrade = path == "/ws";
      LogLine(peer_ + ": GET " + std::string(path) + " not found (404)");
      Respond(Text(http::status::not_found,
                   ws_without_upgrade ? "/ws takes WebSocket connections\n" : "not found\n",
                   request.version()),
              request.keep_alive());
      return;
    }
    http::response<http::string_body> response{http::status::ok, request.version()};
    response.set(http::field::server, "oposd");
    response.set(http::field::content_type, file->content_type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    // The page holds the token while it runs: no other site may frame it.
    response.set("Content-Security-Policy",
                 "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; "
                 "frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
    response.set("X-Frame-Options", "DENY");
    if (client_module) response.set(http::field::access_control_allow_origin, "*");
    if (request.method() != http::verb::head) response.body() = std::string(file->body);
    response.content_length(file->body.size());
    response.keep_alive(request.keep_alive());
    Respond(std::move(response), request.keep_alive());
  }

  void Upgrade(http::request<http::string_body> request, std::string_view path) {
    if (path != "/ws") {
      LogLine(peer_ + ": WebSocket upgrade to " + std::string(path) + " refused (404)");
      Respond(Text(http::status::not_found, "WebSocket connections go to /ws\n", 11), false);
      return;
    }
    const auto origin = request.find(http::field::origin);
    const bool has_origin = origin != request.end();
    const AccessDecision decision = policy_.Check(
        std::string_view(request.target()), std::string_view(request[http::field::authorization]),
        has_origin ? std::string_view(origin->value()) : std::string_view(), has_origin);
    if (decision.status != 0) {
      LogLine(peer_ + ": WebSocket refused (" + std::to_string(decision.status) + "): " +
              decision.reason);
      auto response =
          Text(decision.status == 401 ? http::status::unauthorized : http::status::forbidden,
               decision.reason + "\n", request.version());
      if (decision.status == 401) response.set(http::field::www_authenticate, "Bearer");
      Respond(std::move(response), false);
      return;
    }
    stream_.expires_never();
    auto session = std::make_shared<WsSession>(stream_.release_socket(), host_, sessions_, peer_);
    sessions_.Add(session);
    session->Run(std::move(request));
  }

  static http::response<http::string_body> Text(http::status status, std::string body,
                                                unsigned version) {
    http::response<http::string_body> response{status, version};
    response.set(http::field::server, "oposd");
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
  }

  void Respond(http::response<http::string_body> response, bool keep_alive) {
    response.keep_alive(keep_alive);
    auto shared = std::make_shared<http::response<http::string_body>>(std::move(response));
    http::async_write(stream_, *shared,
                      [self = shared_from_this(), shared, keep_alive](beast::error_code ec, size_t) {
                        if (!ec && keep_alive) {
                          self->Read();
                          return;
                        }
                        beast::error_code ignored;
                        self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                      });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  DeviceHost& host_;
  AccessPolicy& policy_;
  SessionRegistry& sessions_;
  std::string peer_;
};

}  // namespace

Server::Server(asio::io_context& io, DeviceHost& host, AccessPolicy& policy,
               SessionRegistry& sessions)
    : io_(io), host_(host), policy_(policy), sessions_(sessions) {}

bool Server::Listen(const std::vector<std::string>& addresses, unsigned short port) {
  for (const auto& text : addresses) {
    beast::error_code ec;
    const auto address = asio::ip::make_address(text, ec);
    if (ec) {
      LogLine("cannot listen on " + text + ": not an IP address");
      continue;
    }
    auto acceptor = std::make_unique<tcp::acceptor>(asio::make_strand(io_));
    const tcp::endpoint endpoint(address, acceptors_.empty() ? port : port_);
    acceptor->open(endpoint.protocol(), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec && address.is_v6()) acceptor->set_option(asio::ip::v6_only(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      LogLine("cannot listen on " + text + " port " + std::to_string(endpoint.port()) + ": " +
              ec.message());
      continue;
    }
    Serve(std::move(acceptor));
  }
  if (acceptors_.empty()) return false;
  origins_.push_back("http://localhost:" + std::to_string(port_));
  return true;
}

bool Server::Adopt(const std::vector<int>& fds) {
  for (const int fd : fds) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    int listening = 0;
    socklen_t flag_length = sizeof listening;
    const bool usable =
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        (local.ss_family == AF_INET || local.ss_family == AF_INET6) &&
        ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flag_length) == 0 && listening;
    if (!usable) {
      LogLine("inherited descriptor " + std::to_string(fd) + " is not a listening TCP socket");
      continue;
    }
    beast::error_code ec;
    auto acceptor = std::make_unique<tcp::acceptor>(asio::make_strand(io_));
    acceptor->assign(local.ss_family == AF_INET ? tcp::v4() : tcp::v6(), fd, ec);
    if (ec) {
      LogLine("cannot use inherited descriptor " + std::to_string(fd) + ": " + ec.message());
      continue;
    }
    Serve(std::move(acceptor));
  }
  if (acceptors_.empty()) return false;
  origins_.push_back("http://localhost:" + std::to_string(port_));
  return true;
}

void Server::Serve(std::unique_ptr<tcp::acceptor> acceptor) {
  const tcp::endpoint endpoint = acceptor->local_endpoint();
  if (acceptors_.empty()) port_ = endpoint.port();
  const auto address = endpoint.address();
  const std::string host = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
  const std::string origin = "http://" + host + ":" + std::to_string(endpoint.port());
  origins_.push_back(origin);
  LogLine("listening on " + origin + "/");
  acceptors_.push_back(std::move(acceptor));
  Accept(acceptors_.size() - 1);
}

void Server::Accept(size_t index) {
  acceptors_[index]->async_accept(asio::make_strand(io_), [this, index](beast::error_code ec,
                                                                        tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (ec) {
      LogLine("accept failed: " + ec.message());
    } else {
      std::make_shared<HttpSession>(std::move(socket), host_, policy_, sessions_)->Run();
    }
    if (acceptors_[index]->is_open()) Accept(index);
  });
}

void Server::Stop() {
  asio::post(io_, [this] {
    for (auto& acceptor : acceptors_) {
      beast::error_code ignored;
      acceptor->close(ignored);
    }
  });
  sessions_.ShutdownAll();
}

}  // namespace oposd
