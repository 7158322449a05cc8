#pragma once

#include <chrono>
#include <thread>

namespace platform {

// Decides what the window's render loop does next: nothing while minimised (sleep
// 100 ms), a frame at most every 1/60 s in the foreground and every 1/30 s in
// the background, otherwise a 1 ms nap. Times are monotonic seconds.
class FramePacer {
 public:
  enum class Step { SleepMinimized, Wait, Draw };

  // Sleeps as next() decides; true when a frame is due now.
  bool frameDue(double now, bool minimized, bool foreground) {
    switch (next(now, minimized, foreground)) {
      case Step::SleepMinimized:
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return false;
      case Step::Wait:
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
      case Step::Draw:
        return true;
    }
    return false;
  }

  Step next(double now, bool minimized, bool foreground) {
    if (minimized) return Step::SleepMinimized;
    const double interval = foreground ? 1.0 / 60.0 : 1.0 / 30.0;
    if (drawn_ && now - lastFrame_ < interval) return Step::Wait;
    drawn_ = true;
    lastFrame_ = now;
    return Step::Draw;
  }

 private:
  bool drawn_ = false;
  double lastFrame_ = 0;
};

}  // namespace platform
