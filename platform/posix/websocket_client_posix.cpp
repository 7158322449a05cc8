// The WebSocket client on Boost.Beast. Every operation runs on a private
// io_context for a bounded time, so no call blocks for longer than it was given.
#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/websocket_client.h"

namespace platform {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

constexpr auto kCloseTimeout = std::chrono::milliseconds(500);
// A message larger than this is refused by the stream itself.
constexpr std::uint64_t kMaxMessageBytes = 16 * 1024 * 1024;

class BeastConnection final : public IWebSocketConnection {
 public:
  using Stream = websocket::stream<tcp::socket>;
  BeastConnection(std::unique_ptr<asio::io_context> io, std::unique_ptr<Stream> ws, int receiveTimeoutMs)
      : io_(std::move(io)), ws_(std::move(ws)), receiveTimeout_(std::max(receiveTimeoutMs, 0)) {}

  ~BeastConnection() override { close(); }

  bool sendBinary(std::span<const std::uint8_t> message) override {
    error_code ec;
    ws_->binary(true);
    ws_->write(asio::buffer(message.data(), message.size()), ec);
    return !ec;
  }

  WebSocketReceive receive(std::span<std::uint8_t> buffer) override {
    if (!readPending_) {
      // The read may outlive this call (a time-out leaves it pending for the next
      // one), so it fills a buffer of our own.
      pending_.resize(buffer.size());
      readDone_ = false;
      readPending_ = true;
      ws_->async_read_some(asio::buffer(pending_), [this](error_code ec, std::size_t n) {
        readDone_ = true;
        readError_ = ec;
        readBytes_ = n;
      });
    }
    io_->restart();
    io_->run_for(receiveTimeout_);
    if (!readDone_) return {WebSocketReceiveStatus::TimedOut};
    readPending_ = false;
    if (readError_ == websocket::error::closed) return {WebSocketReceiveStatus::Closed};
    if (readError_) return {WebSocketReceiveStatus::Failed, 0, true, readError_.value()};
    const std::size_t n = std::min(readBytes_, buffer.size());
    std::memcpy(buffer.data(), pending_.data(), n);
    return {ws_->got_binary() ? WebSocketReceiveStatus::Binary : WebSocketReceiveStatus::Text, n,
            ws_->is_message_done()};
  }

  // The receive returns TimedOut at once; io_context::stop is safe from any thread.
  void interrupt() override { io_->stop(); }

  void close() override {
    if (closed_) return;
    closed_ = true;
    if (ws_->is_open()) {
      ws_->async_close(websocket::close_code::normal, [](error_code) {});
      io_->restart();
      io_->run_for(kCloseTimeout);
    }
    error_code ec;
    ws_->next_layer().close(ec);
    // Let the cancelled handlers run before the stream goes away.
    io_->restart();
    io_->run_for(kCloseTimeout);
  }

 private:
  std::unique_ptr<asio::io_context> io_;
  std::unique_ptr<Stream> ws_;
  std::chrono::milliseconds receiveTimeout_;
  std::vector<std::uint8_t> pending_;
  bool readPending_ = false;
  bool readDone_ = false;
  error_code readError_;
  std::size_t readBytes_ = 0;
  bool closed_ = false;
};

class BeastSession final : public IWebSocketSession {
 public:
  explicit BeastSession(std::string userAgent) : userAgent_(std::move(userAgent)) {}

  std::unique_ptr<IWebSocketConnection> connect(const std::string& host, int port, int receiveTimeoutMs,
                                                std::string& error) override {
    if (port < 1 || port > 65535) {
      error = "port out of range";
      return nullptr;
    }
    auto io = std::make_unique<asio::io_context>();
    error_code ec;
    const auto endpoints = tcp::resolver(*io).resolve(host, std::to_string(port), ec);
    if (ec) {
      error = ec.message();
      return nullptr;
    }
    auto stream = std::make_unique<BeastConnection::Stream>(*io);
    auto& ws = *stream;
    ws.set_option(websocket::stream_base::decorator([agent = userAgent_](websocket::request_type& request) {
      request.set(beast::http::field::user_agent, agent);
    }));
    ws.read_message_max(kMaxMessageBytes);

    bool done = false;
    error_code result = asio::error::timed_out;
    asio::async_connect(ws.next_layer(), endpoints, [&](error_code connectError, const tcp::endpoint&) {
      if (connectError) {
        done = true;
        result = connectError;
        return;
      }
      ws.async_handshake(host + ":" + std::to_string(port), "/", [&](error_code handshakeError) {
        done = true;
        result = handshakeError;
      });
    });
    io->run_for(std::chrono::milliseconds(kWebSocketHandshakeTimeoutMs));
    if (!done || result) {
      error = done ? result.message() : "handshake timed out";
      ws.next_layer().close(ec);
      io->restart();
      io->run_for(kCloseTimeout);
      return nullptr;
    }
    return std::make_unique<BeastConnection>(std::move(io), std::move(stream), receiveTimeoutMs);
  }

 private:
  std::string userAgent_;
};

}  // namespace

std::unique_ptr<IWebSocketSession> openWebSocketSession(const std::string& userAgent) {
  return std::make_unique<BeastSession>(userAgent);
}

}  // namespace platform
