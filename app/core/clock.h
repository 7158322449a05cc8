#pragma once

namespace core {

// The program's monotonic clock in seconds. Injected so timing logic is tested by
// setting the time instead of sleeping.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
};

// Monotonic nanoseconds divided by 1e9.
class SteadyClock final : public Clock {
 public:
  double now() const override;
};

}  // namespace core
