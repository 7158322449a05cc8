#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace core {

// The services' log: one time-stamped, tagged line per message, echoed to a stream
// (standard output in the program) and kept in a 1000-line list for the Debug tab.
class Logger {
 public:
  enum Level { Debug = 0, Info = 1, Warning = 2, Error = 3 };
  using WallClock = std::function<std::chrono::system_clock::time_point()>;

  static constexpr std::size_t kCapacity = 1000;

  explicit Logger(std::ostream* echo = &std::cout, WallClock clock = std::chrono::system_clock::now);

  void log(int level, const std::string& message);
  void info(const std::string& message) { log(Info, message); }
  void warn(const std::string& message) { log(Warning, message); }
  void error(const std::string& message) { log(Error, message); }

  // A copy of the kept lines, oldest first.
  std::vector<std::string> lines() const;
  void clear();
  // Counts every line logged and every clear: changes whenever lines() would.
  std::uint64_t changes() const { return changes_.load(std::memory_order_relaxed); }

 private:
  std::ostream* echo_;
  WallClock clock_;
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  std::atomic<std::uint64_t> changes_{0};
};

}  // namespace core
