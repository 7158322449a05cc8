#include "app/outputs/second_controller_bridge.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

namespace outputs {
namespace {

std::uint64_t steadyMilliseconds() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

SecondControllerBridge::SecondControllerBridge(core::Logger& logger) : SecondControllerBridge(logger, Options{}) {}

SecondControllerBridge::SecondControllerBridge(core::Logger& logger, Options options)
    : logger_(logger), options_(std::move(options)) {
  if (!options_.ticks) options_.ticks = steadyMilliseconds;
  if (options_.pollMilliseconds <= 0) options_.pollMilliseconds = 100;
}

SecondControllerBridge::~SecondControllerBridge() { stop(); }

void SecondControllerBridge::start() {
  if (thread_.joinable()) return;
  running_ = true;
  {
    std::lock_guard lock(setupMutex_);
    setupFinished_ = false;
  }
  // Written before the thread binds, so a bind failure always follows this line.
  logger_.info("SecondControllerBridge: Initialized on port " + std::to_string(options_.local.port));
  try {
    thread_ = std::thread([this] { receiveLoop(); });
  } catch (const std::system_error&) {
    running_ = false;
    logger_.error("SecondControllerBridge: Failed to create socket.");
    return;
  }
  // Wait (bounded) for the socket set-up so callers and tests see a listening service.
  std::unique_lock lock(setupMutex_);
  setupDone_.wait_for(lock, std::chrono::seconds(5), [this] { return setupFinished_; });
}

void SecondControllerBridge::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
  listeningPort_ = 0;
}

void SecondControllerBridge::finishSetup() {
  std::lock_guard lock(setupMutex_);
  setupFinished_ = true;
  setupDone_.notify_all();
}

void SecondControllerBridge::receiveLoop() {
  platform::UdpSocket socket;
  if (!socket.open()) {
    logger_.error("SecondControllerBridge: Failed to create socket.");
    finishSetup();
    return;
  }
  platform::Endpoint local = options_.local;
  if (options_.listenAll && options_.listenAll()) local.address = 0;
  if (!socket.bind(local)) {
    logger_.error("SecondControllerBridge: Failed to bind socket. Port likely in use.");
    socket.close();
    finishSetup();
    return;
  }
  // The socket never blocks for long, so stop() returns promptly without closing
  // a socket that this thread may be using.
  if (!socket.setReceiveTimeout(options_.pollMilliseconds)) {
    logger_.error("SecondControllerBridge: Failed to set the socket's receive time-out.");
    finishSetup();
    return;
  }
  platform::Endpoint bound;
  if (socket.localEndpoint(bound)) {
    listeningAddress_ = bound.address;
    listeningPort_ = bound.port;
  }
  finishSetup();

  std::array<std::byte, kMaxDatagram> buffer;
  while (running_) {
    const platform::ReceiveResult result = socket.receiveFrom(buffer);
    switch (result.status) {
      case platform::ReceiveStatus::Received:
        acceptDatagram(std::span<const std::byte>(buffer.data(), std::min(result.bytes, buffer.size())));
        break;
      case platform::ReceiveStatus::Truncated:  // over-long: dropped
        ++dropped_;
        break;
      case platform::ReceiveStatus::TimedOut:
        break;
      case platform::ReceiveStatus::Closed:
        running_ = false;
        break;
      case platform::ReceiveStatus::Failed:
        // Don't spin on a persistent error.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        break;
    }
  }
  listeningPort_ = 0;
}

bool SecondControllerBridge::acceptDatagram(std::span<const std::byte> datagram) {
  pad::XusbReport report;
  if (!pad::parseBridgeDatagram(datagram, report)) {
    ++dropped_;
    return false;
  }
  const std::uint64_t now = options_.ticks();
  {
    std::lock_guard lock(recordMutex_);
    remote_ = report;
    arrival_ = now;
    received_ = true;
  }
  ++accepted_;
  return true;
}

pad::XusbReport SecondControllerBridge::merge(const pad::XusbReport& local, const pad::XusbReport& remote) {
  pad::XusbReport merged;
  merged.wButtons = static_cast<std::uint16_t>(local.wButtons | remote.wButtons);
  merged.bLeftTrigger = std::max(local.bLeftTrigger, remote.bLeftTrigger);
  merged.bRightTrigger = std::max(local.bRightTrigger, remote.bRightTrigger);
  merged.sThumbRX = remote.sThumbRX;
  merged.sThumbRY = remote.sThumbRY;
  const std::int64_t lx = local.sThumbLX;
  const std::int64_t ly = local.sThumbLY;
  const bool localNearCentre = lx * lx + ly * ly < kCentreRadiusSquared;
  merged.sThumbLX = localNearCentre ? remote.sThumbLX : local.sThumbLX;
  merged.sThumbLY = localNearCentre ? remote.sThumbLY : local.sThumbLY;
  return merged;
}

pad::XusbReport SecondControllerBridge::mergeReport(const pad::XusbReport& local) {
  const std::uint64_t now = options_.ticks();
  std::lock_guard lock(recordMutex_);
  // A clock that went backwards (now < arrival) counts as stale too.
  if (!received_ || now < arrival_ || now - arrival_ >= kFreshMilliseconds) return local;
  return merge(local, remote_);
}

}  // namespace outputs
