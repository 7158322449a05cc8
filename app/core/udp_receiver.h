#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"

namespace core {

// One UDP socket and the loop that reads it: each datagram is received into one
// buffer fixed at construction and handed on as exactly the bytes that arrived.
// Either a receive thread of its own runs the loop (start/stop), or the owner's
// thread drains a non-blocking socket (open/poll/close).
class UdpReceiver {
 public:
  // Called on the thread that receives.
  class Handler {
   public:
    virtual ~Handler() = default;
    // A whole datagram (possibly empty).
    virtual void received(std::span<const std::byte> bytes, const platform::Endpoint& from) = 0;
    // Longer than the buffer: nothing of it is handed on.
    virtual void truncated(const platform::ReceiveResult&) {}
    // Any other receive error; the thread pauses kErrorPause before the next receive.
    virtual void failed(const platform::ReceiveResult&) {}
    // Nothing arrived within the receive time-out.
    virtual void idle() {}
    // The socket closed under the receive thread; the thread ends after this.
    virtual void closed(const platform::ReceiveResult&) {}
    // The receive thread's last call, whatever ended it.
    virtual void finished() {}
  };

  enum class Opened { Yes, SocketFailed, BindFailed, OptionFailed, ThreadFailed };
  struct Result {
    Opened status = Opened::SocketFailed;
    int errorCode = 0;          // the platform's error number when not Yes
    bool addressInUse = false;  // BindFailed because another socket holds the port
    bool ok() const { return status == Opened::Yes; }
  };

  static constexpr std::chrono::milliseconds kErrorPause{10};

  explicit UdpReceiver(std::size_t bufferSize);
  ~UdpReceiver();
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  // Binds `local` (no address reuse: a second program on the port sees "in use"),
  // then runs the receive thread, whose receives wait at most `timeoutMs`.
  Result start(const platform::Endpoint& local, int timeoutMs, Handler& handler);
  // Clears the running flag, wakes the pending receive with an empty datagram to
  // our own port (the time-out bounds the wait should it be lost), joins, closes.
  void stop();
  // The receive thread is running.
  bool running() const { return running_.load(); }

  // Binds a non-blocking socket for poll; no thread.
  Result open(const platform::Endpoint& local);
  // Hands on what waits, at most `limit` datagrams; returns how many were received.
  int poll(Handler& handler, int limit);
  void close();

  // The bound endpoint; port 0 while closed.
  platform::Endpoint bound() const { return {address_.load(), port_.load()}; }
  // Sends from the receiving socket, so answers come back to it. Only from the
  // thread that receives (or before start / between polls).
  bool sendTo(std::span<const std::byte> bytes, const platform::Endpoint& to);

 private:
  Result bindSocket(const platform::Endpoint& local);
  Result failure(Opened status);
  // Hands one receive's result on; false when the socket closed.
  bool dispatch(const platform::ReceiveResult& result, Handler& handler);
  void run(Handler& handler);

  std::vector<std::byte> buffer_;
  platform::UdpSocket socket_;
  std::atomic<bool> running_{false};
  std::atomic<std::uint16_t> port_{0};
  std::atomic<std::uint32_t> address_{0};
  std::thread thread_;
};

}  // namespace core
