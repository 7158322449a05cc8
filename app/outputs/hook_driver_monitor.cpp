#include "app/outputs/hook_driver_monitor.h"

namespace outputs {

HookDriverMonitor::HookDriverMonitor(core::Logger& logger, std::shared_ptr<core::WaitClock> clock,
                                     platform::Endpoint driver, std::function<bool()> inUse)
    : logger_(logger), driver_(driver), inUse_(std::move(inUse)), worker_(std::move(clock)) {}

HookDriverMonitor::~HookDriverMonitor() { stop(); }

bool HookDriverMonitor::running() const {
  std::lock_guard lock(lifecycleMutex_);
  return worker_.running();
}

HookDriverMonitor::View HookDriverMonitor::view() const {
  return View{answering_.load(), controllers_.load(), overrideAgeMs_.load()};
}

void HookDriverMonitor::start() {
  std::lock_guard lock(lifecycleMutex_);
  if (worker_.running()) return;
  // The answer comes back to this socket's ephemeral loopback port.
  if (!socket_.open(platform::Endpoint::loopback(0)).ok()) {
    logger_.error("SteamVRHookService: Could not open the driver status socket.");
    return;
  }
  counter_ = 0;
  pinged_ = false;
  if (!worker_.start([this](core::WaitClock::TimePoint now) { return step(now); })) {
    socket_.close();
    logger_.error("SteamVRHookService: Could not start the driver status thread.");
  }
}

void HookDriverMonitor::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!worker_.running()) return;
  worker_.stop();
  socket_.close();
  answering_ = false;
  controllers_ = 0;
  overrideAgeMs_ = -1;
}

std::chrono::milliseconds HookDriverMonitor::step(core::WaitClock::TimePoint now) {
  stepTime_ = now;
  socket_.poll(*this, kMaxAnswersPerStep);
  if (answering_ && now - lastAnswer_ >= kSilenceLimit) {
    answering_ = false;
    logger_.info("[SteamVR Hook] Driver stopped answering");
  }
  if (inUse_ && !inUse_()) return kPollStep;
  if (!pinged_ || now - lastPing_ >= kPingPeriod) {
    const std::string ping = hook::pingMessage(++counter_);
    socket_.sendTo(std::as_bytes(std::span(ping)), driver_);  // a lost ping is followed by the next
    lastPing_ = now;
    pinged_ = true;
  }
  return kPollStep;
}

void HookDriverMonitor::received(std::span<const std::byte> bytes, const platform::Endpoint& from) {
  if (from != driver_) return;
  hook::DriverStatus status;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!hook::parseStatus(text, status)) return;
  lastAnswer_ = stepTime_;
  controllers_ = status.controllers;
  overrideAgeMs_ = status.overrideAgeMs;
  if (!answering_) {
    answering_ = true;
    logger_.info("[SteamVR Hook] Driver answered: " + std::to_string(status.controllers) + " controller(s)");
  }
}

}  // namespace outputs
