#include "ws_session.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>

#include "log.h"
#include "server.h"

namespace oposd {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace http = beast::http;

WsSession::WsSession(boost::asio::ip::tcp::socket&& socket, DeviceHost& host,
                     SessionRegistry& registry, std::string peer)
    : ws_(std::move(socket)), registry_(registry), peer_(std::move(peer)) {
  host_ = &host;
}

WsSession::~WsSession() { registry_.Remove(this); }

void WsSession::Run(http::request<http::string_body> request) {
  // Answers and events come from device threads; they run on this session's strand, and only
  // while the session and its RpcConnection exist.
  std::weak_ptr<WsSession> weak = weak_from_this();
  auto post = [weak, executor = ws_.get_executor()](std::function<void()> work) {
    boost::asio::post(executor, [weak, work = std::move(work)] {
      if (auto self = weak.lock(); self && self->rpc_) work();
    });
  };
  rpc_ = std::make_unique<RpcConnection>(
      *host_, [this](std::string message) { Send(std::move(message)); }, post, peer_);
  ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
  ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
    response.set(http::field::server, "oposd");
  }));
  // Messages are read piece by piece and cut at kMaxMessageBytes here, so Beast's own limit
  // only guards against a client that never ends a message.
  ws_.read_message_max(256u << 20);
  ws_.async_accept(request, beast::bind_front_handler(&WsSession::OnAccept, shared_from_this()));
}

void WsSession::OnAccept(beast::error_code ec) {
  if (ec) {
    LogLine(peer_ + ": WebSocket handshake failed: " + ec.message());
    return;
  }
  LogLine(peer_ + ": connected");
  ReadSome();
}

void WsSession::ReadSome() {
  ws_.async_read_some(buffer_.prepare(64 * 1024),
                      beast::bind_front_handler(&WsSession::OnRead, shared_from_this()));
}

void WsSession::OnRead(beast::error_code ec, size_t bytes) {
  if (ec) {
    End(ec == websocket::error::closed ? "closed by the client" : ec.message());
    return;
  }
  buffer_.commit(bytes);
  if (!oversized_) {
    const auto data = buffer_.cdata();
    if (message_.size() + data.size() > kMaxMessageBytes) {
      oversized_ = true;
      message_.clear();
      message_.shrink_to_fit();
    } else {
      message_.append(static_cast<const char*>(data.data()), data.size());
    }
  }
  buffer_.consume(buffer_.size());
  if (ws_.is_message_done()) {
    ++requests_;
    if (oversized_) {
      rpc_->OnOversized(kMaxMessageBytes);
    } else if (!ws_.got_text()) {
      rpc_->OnBinary();
    } else {
      rpc_->OnText(message_);
    }
    message_.clear();
    oversized_ = false;
  }
  if (!ended_) ReadSome();
}

void WsSession::Send(std::string message) {
  if (ended_) return;
  queued_bytes_ += message.size();
  if (queued_bytes_ > kMaxQueuedBytes) {
    End("the client does not read its messages");
    ws_.next_layer().socket().close();
    return;
  }
  queue_.push_back(std::move(message));
  if (queue_.size() == 1) WriteNext();
}

void WsSession::WriteNext() {
  ws_.text(true);
  ws_.async_write(boost::asio::buffer(queue_.front()),
                  beast::bind_front_handler(&WsSession::OnWrite, shared_from_this()));
}

void WsSession::OnWrite(beast::error_code ec, size_t) {
  if (ec) {
    End(ec.message());
    return;
  }
  queued_bytes_ -= queue_.front().size();
  queue_.pop_front();
  if (!queue_.empty()) WriteNext();
}

void WsSession::End(const std::string& why) {
  if (ended_) return;
  ended_ = true;
  const size_t devices = rpc_ ? rpc_->OpenDevices() : 0;
  LogLine(peer_ + ": disconnected (" + why + ") after " + std::to_string(requests_) +
          " message(s)" +
          (devices ? "; releasing and closing " + std::to_string(devices) + " device(s)" : ""));
  rpc_.reset();  // its devices are released and closed on their threads
}

void WsSession::Shutdown() {
  boost::asio::dispatch(ws_.get_executor(), [self = shared_from_this()] {
    if (self->ended_) return;
    self->ws_.async_close(websocket::close_code::going_away,
                          [self](beast::error_code) { self->End("the service is stopping"); });
  });
}

}  // namespace oposd
