#pragma once

#include <functional>

namespace platform {

// Decides when the window's render loop draws. A frame is drawn when an input
// event arrived (then a few more, since Dear ImGui settles hover states, popups
// and column widths over the following frames), when the content reports that
// something it shows changed (asked at most 30 times a second in the foreground,
// 15 in the background, which also caps live plots), never while minimised, and
// never faster than 60 frames a second in the foreground and 30 in the
// background. Between frames the loop blocks on its event queue for the time
// the pacer names. Times are monotonic seconds.
class FramePacer {
 public:
  // Frames drawn after the first frame and after each input event.
  static constexpr int kSettleFrames = 3;

  struct Decision {
    bool draw = false;
    double waitSeconds = 0;  // when not drawing: how long the loop may block waiting for events
  };

  // An input event (key, mouse, resize, exposure, focus) reached the window.
  void noteEvent() { settle_ = kSettleFrames; }

  // `changed` says whether something shown differs from the last frame drawn;
  // it is asked only when the poll interval has passed (empty: always changed).
  Decision next(double now, bool minimized, bool foreground, const std::function<bool()>& changed) {
    if (minimized) return {false, 0.1};
    const double interval = foreground ? 1.0 / 60.0 : 1.0 / 30.0;
    const double poll = foreground ? 1.0 / 30.0 : 1.0 / 15.0;
    const double sinceFrame = now - lastFrame_;
    if (settle_ > 0) {
      if (drawn_ && sinceFrame < interval) return {false, interval - sinceFrame};
      --settle_;
      return drawAt(now);
    }
    if (now >= nextPoll_) {
      nextPoll_ = now + poll;
      if (!changed || changed()) {
        if (drawn_ && sinceFrame < interval)
          settle_ = 1;  // draw it as soon as the cap allows
        else
          return drawAt(now);
      }
    }
    if (settle_ > 0) return {false, interval - sinceFrame};
    return {false, nextPoll_ - now};
  }

 private:
  Decision drawAt(double now) {
    drawn_ = true;
    lastFrame_ = now;
    return {true, 0};
  }

  bool drawn_ = false;
  int settle_ = kSettleFrames;  // the first frames settle like those after an event
  double lastFrame_ = 0;
  double nextPoll_ = 0;
};

}  // namespace platform
