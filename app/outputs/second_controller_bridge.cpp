#include "app/outputs/second_controller_bridge.h"

#include <algorithm>
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
  if (receiver_.running()) return;
  receiver_.stop();  // a run whose socket closed under it
  logger_.info("SecondControllerBridge: Initialized on port " + std::to_string(options_.local.port));
  platform::Endpoint local = options_.local;
  if (options_.listenAll && options_.listenAll()) local.address = 0;
  // The receive time-out bounds stop() should its wake-up datagram be lost.
  const core::UdpReceiver::Result opened = receiver_.start(local, options_.pollMilliseconds, *this);
  switch (opened.status) {
    case core::UdpReceiver::Opened::Yes:
      return;
    case core::UdpReceiver::Opened::BindFailed:
      logger_.error("SecondControllerBridge: Failed to bind socket. Port likely in use.");
      return;
    case core::UdpReceiver::Opened::OptionFailed:
      logger_.error("SecondControllerBridge: Failed to set the socket's receive time-out.");
      return;
    case core::UdpReceiver::Opened::SocketFailed:
    case core::UdpReceiver::Opened::ThreadFailed:
      logger_.error("SecondControllerBridge: Failed to create socket.");
      return;
  }
}

void SecondControllerBridge::stop() { receiver_.stop(); }

void SecondControllerBridge::received(std::span<const std::byte> datagram, const platform::Endpoint&) {
  acceptDatagram(datagram);
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
