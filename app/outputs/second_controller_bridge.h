#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "app/core/logger.h"
#include "app/core/service.h"
#include "app/core/udp_receiver.h"
#include "common/pad/bridge_datagram.h"
#include "platform/udp_socket.h"

namespace outputs {

// What the virtual pad asks before each report goes out: the report to send, given its own.
class IPadReportMerger {
 public:
  virtual ~IPadReportMerger() = default;
  virtual pad::XusbReport mergeReport(const pad::XusbReport& local) = 0;
};

// Receives a second controller's state over UDP (the "SVBR" bridge datagram) and
// merges it into the virtual pad's reports for two seconds after each datagram.
class SecondControllerBridge final : public core::IService,
                                     public IPadReportMerger,
                                     private core::UdpReceiver::Handler {
 public:
  static constexpr std::uint16_t kPort = 55666;
  static constexpr std::uint64_t kFreshMilliseconds = 2000;
  // Left-stick radius (squared) inside which the remote left stick is used: 3200².
  static constexpr std::int64_t kCentreRadiusSquared = 3200LL * 3200LL;
  static constexpr std::size_t kMaxDatagram = 1024;

  // Monotonic milliseconds.
  using TickSource = std::function<std::uint64_t()>;

  struct Options {
    // This machine only by default: other hosts could press the pad's buttons.
    platform::Endpoint local = platform::Endpoint::loopback(kPort);
    // Asked at each start; true binds every local address (`bridge_listen_all`).
    std::function<bool()> listenAll;
    TickSource ticks;  // default: the steady clock
    // How long one receive waits before the thread looks at its running flag again.
    int pollMilliseconds = 100;
  };

  explicit SecondControllerBridge(core::Logger& logger);
  SecondControllerBridge(core::Logger& logger, Options options);
  ~SecondControllerBridge() override;
  SecondControllerBridge(const SecondControllerBridge&) = delete;
  SecondControllerBridge& operator=(const SecondControllerBridge&) = delete;

  void initialize() override { start(); }
  void cleanup() override { stop(); }

  // Binds the socket and starts the receive thread (once).
  void start();
  // Ends and joins the receive thread.
  void stop();

  // The port the receive socket is bound to; 0 while not listening.
  std::uint16_t listeningPort() const { return receiver_.bound().port; }
  // The address the receive socket is bound to (0.0.0.0 for every address).
  platform::Endpoint listeningEndpoint() const { return receiver_.bound(); }

  pad::XusbReport mergeReport(const pad::XusbReport& local) override;

  // Datagrams taken and dropped (malformed or over-long) since construction.
  std::uint64_t acceptedDatagrams() const { return accepted_.load(); }
  std::uint64_t droppedDatagrams() const { return dropped_.load(); }

  // Takes one received datagram: a well-formed one becomes the remote report,
  // anything else is dropped. The receive thread's path; public for tests.
  bool acceptDatagram(std::span<const std::byte> datagram);

  // The merge of a local report with a fresh remote one.
  static pad::XusbReport merge(const pad::XusbReport& local, const pad::XusbReport& remote);

 private:
  // The receive thread's calls.
  void received(std::span<const std::byte> datagram, const platform::Endpoint& from) override;
  void truncated(const platform::ReceiveResult&) override { ++dropped_; }  // over-long: dropped

  core::Logger& logger_;
  Options options_;

  std::mutex recordMutex_;
  pad::XusbReport remote_;
  std::uint64_t arrival_ = 0;
  bool received_ = false;  // nothing is merged until a first datagram arrived

  std::atomic<std::uint64_t> accepted_{0};
  std::atomic<std::uint64_t> dropped_{0};
  core::UdpReceiver receiver_{kMaxDatagram};
};

}  // namespace outputs
