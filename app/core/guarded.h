#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace core {

// A value that one thread edits while others read it: every read returns a copy
// taken under a small private lock, so a reader never sees a half-written value.
template <class T>
class Guarded {
 public:
  Guarded() = default;
  Guarded(T initial) : value_(std::move(initial)) {}  // NOLINT: implicit like the plain value it replaces
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  T get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }
  Guarded& operator=(T value) {
    set(std::move(value));
    return *this;
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace core
