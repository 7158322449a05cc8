#include "app/outputs/hook_driver_monitor.h"

#include <array>
#include <system_error>

namespace outputs {

HookDriverMonitor::HookDriverMonitor(core::Logger& logger, std::shared_ptr<core::WaitClock> clock,
                                     platform::Endpoint driver, std::function<bool()> inUse)
    : logger_(logger), clock_(std::move(clock)), driver_(driver), inUse_(std::move(inUse)) {}

HookDriverMonitor::~HookDriverMonitor() { stop(); }

bool HookDriverMonitor::running() const {
  std::lock_guard lock(lifecycleMutex_);
  return thread_.joinable();
}

HookDriverMonitor::View HookDriverMonitor::view() const {
  return View{answering_.load(), controllers_.load(), overrideAgeMs_.load()};
}

void HookDriverMonitor::start() {
  std::lock_guard lock(lifecycleMutex_);
  if (thread_.joinable()) return;
  // The answer comes back to this socket's ephemeral loopback port.
  if (!socket_.open() || !socket_.setNonBlocking(true) || !socket_.bind(platform::Endpoint::loopback(0))) {
    socket_.close();
    logger_.error("SteamVRHookService: Could not open the driver status socket.");
    return;
  }
  counter_ = 0;
  pinged_ = false;
  try {
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
  } catch (const std::system_error&) {
    socket_.close();
    logger_.error("SteamVRHookService: Could not start the driver status thread.");
  }
}

void HookDriverMonitor::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
  socket_.close();
  answering_ = false;
  controllers_ = 0;
  overrideAgeMs_ = -1;
}

void HookDriverMonitor::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    const core::WaitClock::TimePoint now = clock_->now();
    step(now);
    if (!clock_->sleepUntil(now + kPollStep, stop)) break;
  }
}

void HookDriverMonitor::step(core::WaitClock::TimePoint now) {
  drainAnswers(now);
  if (answering_ && now - lastAnswer_ >= kSilenceLimit) {
    answering_ = false;
    logger_.info("[SteamVR Hook] Driver stopped answering");
  }
  if (inUse_ && !inUse_()) return;
  if (!pinged_ || now - lastPing_ >= kPingPeriod) {
    socket_.sendTo(hook::pingMessage(++counter_), driver_);  // a lost ping is followed by the next
    lastPing_ = now;
    pinged_ = true;
  }
}

void HookDriverMonitor::drainAnswers(core::WaitClock::TimePoint now) {
  std::array<std::byte, 128> buffer{};
  for (int i = 0; i < kMaxAnswersPerStep; ++i) {
    const platform::ReceiveResult received = socket_.receiveFrom(buffer);
    if (received.status == platform::ReceiveStatus::Truncated) continue;  // not an answer
    if (received.status != platform::ReceiveStatus::Received) return;
    if (received.from != driver_) continue;
    hook::DriverStatus status;
    const std::string_view text(reinterpret_cast<const char*>(buffer.data()), received.bytes);
    if (!hook::parseStatus(text, status)) continue;
    lastAnswer_ = now;
    controllers_ = status.controllers;
    overrideAgeMs_ = status.overrideAgeMs;
    if (!answering_) {
      answering_ = true;
      logger_.info("[SteamVR Hook] Driver answered: " + std::to_string(status.controllers) + " controller(s)");
    }
  }
}

}  // namespace outputs
