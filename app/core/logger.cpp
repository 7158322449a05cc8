#include "app/core/logger.h"

#include <ctime>
#include <iomanip>
#include <sstream>

namespace core {
namespace {

const char* tagFor(int level) {
  switch (level) {
    case Logger::Debug:
      return "[DEBUG]";
    case Logger::Info:
      return "[INFO ]";
    case Logger::Warning:
      return "[WARN ]";
    case Logger::Error:
      return "[ERROR]";
    default:
      return "";
  }
}

std::tm localTime(std::time_t seconds) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return local;
}

}  // namespace

Logger::Logger(std::ostream* echo, WallClock clock) : echo_(echo), clock_(std::move(clock)) {}

void Logger::log(int level, const std::string& message) {
  std::lock_guard lock(mutex_);
  const auto now = clock_();
  const auto sinceEpoch = now.time_since_epoch();
  const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - wholeSeconds).count();
  if (millis < 0) millis += 1000;
  const std::tm local = localTime(static_cast<std::time_t>(wholeSeconds.count()));

  std::ostringstream line;
  line << std::put_time(&local, "%H:%M:%S") << '.' << std::setw(3) << std::setfill('0') << millis << ' '
       << tagFor(level) << ' ' << message;
  std::string text = line.str();
  if (echo_) *echo_ << text << std::endl;
  lines_.push_back(std::move(text));
  if (lines_.size() > kCapacity) lines_.pop_front();
  changes_.fetch_add(1, std::memory_order_relaxed);
}

std::vector<std::string> Logger::lines() const {
  std::lock_guard lock(mutex_);
  return {lines_.begin(), lines_.end()};
}

void Logger::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  changes_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace core
