#include "app/core/udp_receiver.h"

#include <algorithm>
#include <system_error>

#include "platform/hot_path.h"

namespace core {

UdpReceiver::UdpReceiver(std::size_t bufferSize) : buffer_(bufferSize) {}

UdpReceiver::~UdpReceiver() {
  stop();
  close();
}

UdpReceiver::Result UdpReceiver::failure(Opened status) {
  Result result{status, socket_.lastError(), status == Opened::BindFailed && socket_.lastErrorIsAddressInUse()};
  socket_.close();
  return result;
}

UdpReceiver::Result UdpReceiver::bindSocket(const platform::Endpoint& local) {
  if (!socket_.open()) return failure(Opened::SocketFailed);
  if (!socket_.bind(local)) return failure(Opened::BindFailed);
  platform::Endpoint actual;
  if (!socket_.localEndpoint(actual)) actual = local;
  address_ = actual.address;
  port_ = actual.port;
  return {Opened::Yes};
}

UdpReceiver::Result UdpReceiver::start(const platform::Endpoint& local, int timeoutMs, Handler& handler) {
  stop();  // joins a thread that ended by itself
  Result result = bindSocket(local);
  if (!result.ok()) return result;
  if (!socket_.setReceiveTimeout(timeoutMs)) {
    port_ = 0;
    address_ = 0;
    return failure(Opened::OptionFailed);
  }
  running_ = true;
  try {
    thread_ = std::thread([this, &handler] { run(handler); });
  } catch (const std::system_error&) {
    running_ = false;
    close();
    return {Opened::ThreadFailed};
  }
  return result;
}

void UdpReceiver::stop() {
  if (!thread_.joinable()) return;
  running_ = false;
  if (const std::uint16_t port = port_.load(); port != 0) {
    platform::UdpSocket wake;
    if (wake.open()) wake.sendTo(std::span<const std::byte>{}, platform::Endpoint::loopback(port));
  }
  thread_.join();
  close();
}

UdpReceiver::Result UdpReceiver::open(const platform::Endpoint& local) {
  close();
  Result result = bindSocket(local);
  if (result.ok() && !socket_.setNonBlocking(true)) {
    port_ = 0;
    address_ = 0;
    return failure(Opened::OptionFailed);
  }
  return result;
}

int UdpReceiver::poll(Handler& handler, int limit) {
  int count = 0;
  for (int i = 0; i < limit && socket_.isOpen(); ++i) {
    const platform::ReceiveResult result = socket_.receiveFrom(buffer_);
    if (result.status == platform::ReceiveStatus::TimedOut) break;  // nothing more waits
    if (result.status == platform::ReceiveStatus::Received) ++count;
    if (!dispatch(result, handler)) break;
    if (result.status == platform::ReceiveStatus::Failed) break;
  }
  return count;
}

void UdpReceiver::close() {
  socket_.close();
  port_ = 0;
  address_ = 0;
}

bool UdpReceiver::sendTo(std::span<const std::byte> bytes, const platform::Endpoint& to) {
  return socket_.sendTo(bytes, to);
}

STRIVO_HOT_PATH bool UdpReceiver::dispatch(const platform::ReceiveResult& result, Handler& handler) {
  switch (result.status) {
    case platform::ReceiveStatus::Received:
      handler.received(std::span<const std::byte>(buffer_.data(), std::min(result.bytes, buffer_.size())), result.from);
      return true;
    case platform::ReceiveStatus::Truncated:
      handler.truncated(result);
      return true;
    case platform::ReceiveStatus::TimedOut:
      handler.idle();
      return true;
    case platform::ReceiveStatus::Failed:
      handler.failed(result);
      return true;
    case platform::ReceiveStatus::Closed:
      handler.closed(result);
      return false;
  }
  return true;
}

STRIVO_HOT_PATH void UdpReceiver::run(Handler& handler) {
  while (running_.load(std::memory_order_relaxed)) {
    const platform::ReceiveResult result = socket_.receiveFrom(buffer_);
    if (!running_.load(std::memory_order_relaxed)) break;  // the wake-up datagram, or a late one
    if (!dispatch(result, handler)) break;
    // A persistent error must not turn the loop into a busy spin.
    if (result.status == platform::ReceiveStatus::Failed) std::this_thread::sleep_for(kErrorPause);
  }
  running_ = false;
  port_ = 0;
  address_ = 0;
  handler.finished();
}

}  // namespace core
