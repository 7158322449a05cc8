#include "testing/solarxr_server/solarxr_test_server.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace testsupport::solarxr {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

struct Session {
  explicit Session(tcp::socket socket) : ws(std::move(socket)) {}
  websocket::stream<tcp::socket> ws;
  beast::flat_buffer buffer;
  bool open = false;
};

struct SolarXrTestServer::Impl {
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
  tcp::acceptor acceptor{io};
  std::thread thread;
  bool listening = false;
  std::uint16_t port = 0;

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::vector<std::uint8_t>> messages;
  int connections = 0;
  std::shared_ptr<Session> current;  // touched on the server thread only
  bool clientOpen = false;

  void accept() {
    acceptor.async_accept([this](error_code ec, tcp::socket socket) {
      if (ec) return;
      if (current) current->ws.next_layer().close(ec);
      auto session = std::make_shared<Session>(std::move(socket));
      current = session;
      session->ws.async_accept([this, session](error_code acceptError) {
        if (acceptError) return;
        session->open = true;
        notify([this] {
          ++connections;
          clientOpen = true;
        });
        read(session);
      });
      accept();
    });
  }

  void read(const std::shared_ptr<Session>& session) {
    session->ws.async_read(session->buffer, [this, session](error_code ec, std::size_t) {
      if (ec) {
        session->open = false;
        if (session == current) notify([this] { clientOpen = false; });
        return;
      }
      const auto data = session->buffer.cdata();
      const auto* bytes = static_cast<const std::uint8_t*>(data.data());
      std::vector<std::uint8_t> message(bytes, bytes + data.size());
      session->buffer.consume(session->buffer.size());
      notify([&] { messages.push_back(std::move(message)); });
      read(session);
    });
  }

  template <typename Change>
  void notify(Change change) {
    {
      std::lock_guard lock(mutex);
      change();
    }
    changed.notify_all();
  }

  // Runs `job` on the server thread and waits for its result.
  template <typename Job>
  auto onServerThread(Job job) {
    std::packaged_task<decltype(job())()> task(std::move(job));
    auto result = task.get_future();
    asio::post(io, [&task] { task(); });
    return result.get();
  }
};

SolarXrTestServer::SolarXrTestServer(std::uint16_t port) : impl_(std::make_unique<Impl>()) {
  error_code ec;
  const tcp::endpoint local(asio::ip::make_address_v4("127.0.0.1"), port);
  impl_->acceptor.open(local.protocol(), ec);
  if (!ec) impl_->acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) impl_->acceptor.bind(local, ec);
  if (!ec) impl_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) return;
  impl_->listening = true;
  impl_->port = impl_->acceptor.local_endpoint(ec).port();
  impl_->accept();
  impl_->thread = std::thread([this] { impl_->io.run(); });
}

SolarXrTestServer::~SolarXrTestServer() {
  if (impl_->thread.joinable()) {
    asio::post(impl_->io, [this] {
      error_code ec;
      impl_->acceptor.close(ec);
      if (impl_->current) impl_->current->ws.next_layer().close(ec);
      impl_->current.reset();
      impl_->work.reset();
    });
    impl_->thread.join();
  }
}

bool SolarXrTestServer::listening() const { return impl_->listening; }
std::uint16_t SolarXrTestServer::port() const { return impl_->port; }

std::optional<std::vector<std::uint8_t>> SolarXrTestServer::waitForMessage(std::size_t index,
                                                                           std::chrono::milliseconds timeout) {
  std::unique_lock lock(impl_->mutex);
  if (!impl_->changed.wait_for(lock, timeout, [&] { return impl_->messages.size() > index; })) return std::nullopt;
  return impl_->messages[index];
}

int SolarXrTestServer::connections() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->connections;
}

bool SolarXrTestServer::waitForClientGone(std::chrono::milliseconds timeout) {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return !impl_->clientOpen; });
}

bool SolarXrTestServer::send(std::span<const std::uint8_t> message, bool binary) {
  if (!impl_->thread.joinable()) return false;
  std::promise<bool> done;
  auto written = done.get_future();
  asio::post(impl_->io, [&] {
    const auto session = impl_->current;
    if (!session || !session->open) {
      done.set_value(false);
      return;
    }
    session->ws.binary(binary);
    session->ws.async_write(asio::buffer(message.data(), message.size()),
                            [&done, session](error_code ec, std::size_t) { done.set_value(!ec); });
  });
  return written.get();
}

void SolarXrTestServer::dropClient() {
  if (!impl_->thread.joinable()) return;
  impl_->onServerThread([&] {
    if (impl_->current) {
      error_code ec;
      impl_->current->ws.next_layer().close(ec);
    }
    return true;
  });
}

}  // namespace testsupport::solarxr
