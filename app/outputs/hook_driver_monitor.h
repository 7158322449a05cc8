#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/core/logger.h"
#include "app/core/polling_worker.h"
#include "app/core/udp_receiver.h"
#include "app/core/wait_clock.h"
#include "app/outputs/output.h"
#include "common/hook/hook_protocol.h"
#include "platform/hot_path.h"
#include "platform/udp_socket.h"

namespace outputs {

// Asks the SteamVR driver once a second how it is ("PING <n>" on its own socket) and
// logs when the driver starts and stops answering. A driver that predates the ping
// never answers; the hook output works with it all the same.
class HookDriverMonitor final : private core::UdpReceiver::Handler {
 public:
  static constexpr std::chrono::milliseconds kPingPeriod{1000};
  static constexpr std::chrono::milliseconds kSilenceLimit{3000};
  static constexpr std::chrono::milliseconds kPollStep{100};
  static constexpr int kMaxAnswersPerStep = 32;

  // The driver as last heard.
  struct View {
    bool answering = false;
    std::uint32_t controllers = 0;
    std::int64_t overrideAgeMs = -1;  // -1: the driver never applied an override
  };

  // `inUse`, when given, says whether a road drives the hook now; pings are sent only then.
  HookDriverMonitor(core::Logger& logger, std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock(),
                    platform::Endpoint driver = platform::Endpoint::loopback(hook::kDriverPort),
                    std::function<bool()> inUse = {});
  ~HookDriverMonitor();
  HookDriverMonitor(const HookDriverMonitor&) = delete;
  HookDriverMonitor& operator=(const HookDriverMonitor&) = delete;

  // Opens the socket and starts pinging; nothing when already running.
  void start();
  // Stops and joins; the view forgets the driver.
  void stop();
  bool running() const;
  View view() const;

 private:
  std::chrono::milliseconds step(core::WaitClock::TimePoint now);
  // An answer from the driver, handed on by the step's drain.
  void received(std::span<const std::byte> bytes, const platform::Endpoint& from) override;

  core::Logger& logger_;
  platform::Endpoint driver_;
  std::function<bool()> inUse_;

  mutable std::mutex lifecycleMutex_;
  core::PollingWorker worker_;
  // Used by the worker's thread only while it runs.
  core::UdpReceiver socket_{128};
  core::WaitClock::TimePoint stepTime_{};
  std::uint32_t counter_ = 0;
  core::WaitClock::TimePoint lastPing_{};
  core::WaitClock::TimePoint lastAnswer_{};
  bool pinged_ = false;

  std::atomic<bool> answering_{false};
  std::atomic<std::uint32_t> controllers_{0};
  std::atomic<std::int64_t> overrideAgeMs_{-1};
};

// The hook output with its driver monitor: the monitor runs from the hook's start
// to its stop; every other call goes straight through.
class MonitoredHookOutput final : public IOutput {
 public:
  MonitoredHookOutput(IOutput& hook, HookDriverMonitor& monitor) : hook_(hook), monitor_(monitor) {}
  void configure(const OutputConfig& config) override { hook_.configure(config); }
  void start() override {
    hook_.start();
    monitor_.start();
  }
  void stop() override {
    monitor_.stop();
    hook_.stop();
  }
  STRIVO_HOT_PATH void stick(float x, float y) override { hook_.stick(x, y); }
  void press(Action action) override { hook_.press(action); }
  void release(Action action) override { hook_.release(action); }
  void centre() override { hook_.centre(); }
  void keepAlive() override { hook_.keepAlive(); }

 private:
  IOutput& hook_;
  HookDriverMonitor& monitor_;
};

}  // namespace outputs
