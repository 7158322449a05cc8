#include "app/core/clock.h"

#include <chrono>

#include "platform/hot_path.h"

namespace core {

STRIVO_HOT_PATH double SteadyClock::now() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count()) / 1e9;
}

}  // namespace core
