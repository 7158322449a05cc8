#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace tracking {

// When to write the settings file that toggles ask for: a request is written one
// interval after it came, and never sooner than one interval after the last write,
// so a burst of requests becomes one write that holds the last state. Pure; the
// caller brings the time (monotonic seconds).
class SaveSchedule {
 public:
  explicit SaveSchedule(double interval) : interval_(interval) {}

  void request(double now);
  bool pending() const { return firstRequest_.has_value(); }
  // When the pending request is to be written; empty when none is pending.
  std::optional<double> due() const;
  // True when a write is to happen now; the request then counts as written at `now`.
  bool take(double now);
  // True when anything is pending, which then counts as written at `now` (shutdown).
  bool takeAll(double now);

 private:
  double interval_;
  std::optional<double> firstRequest_;
  std::optional<double> lastWrite_;
};

// Writes the settings file on its own thread when toggles from the receive threads
// ask for it, coalesced by a SaveSchedule; no write is lost at exit, where `stop`
// (and the destructor) write what is still pending on the caller's thread.
class SettingsSaver {
 public:
  static constexpr double kInterval = 1.0;
  using Write = std::function<void()>;

  explicit SettingsSaver(Write write, double interval = kInterval);
  ~SettingsSaver();
  SettingsSaver(const SettingsSaver&) = delete;
  SettingsSaver& operator=(const SettingsSaver&) = delete;

  // Asks for a write; returns at once and never writes on the caller's thread while
  // the saver runs. After `stop` the write happens at once on the caller's thread.
  void request();
  // Ends and joins the worker, then writes what is pending. Safe to call twice.
  void stop();
  std::size_t writes() const;

 private:
  void threadMain();
  static double now();

  Write write_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  SaveSchedule schedule_;
  bool stopping_ = false;
  std::size_t writes_ = 0;
  std::thread thread_;
};

}  // namespace tracking
