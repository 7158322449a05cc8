#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Row {
  const char* what;
  bool minimized, foreground;
  double eventEvery;  // seconds between input events; 0 = none
  bool changing;      // the content reports a change at every poll
  int minFrames, maxFrames;
};

// Runs the loop for 10 s of simulated time the way the window does: draw when
// told, else wait as long as told (an event cuts the wait short).
int framesOver10s(const Row& row) {
  platform::FramePacer pacer;
  int frames = 0, polls = 0;
  double nextEvent = row.eventEvery > 0 ? 1.0 : 1e9;
  for (double now = 0; now < 10.0;) {
    if (now >= nextEvent) {
      pacer.noteEvent();
      nextEvent += row.eventEvery;
    }
    const auto decision = pacer.next(now, row.minimized, row.foreground, [&] {
      ++polls;
      return row.changing;
    });
    if (decision.draw) {
      ++frames;
      now += 0.0005;  // drawing takes a little time
    } else {
      EXPECT_GT(decision.waitSeconds, 0) << row.what;
      now = std::min(now + std::max(decision.waitSeconds, 0.0001), std::max(nextEvent, now));
    }
  }
  if (row.minimized) {
    EXPECT_EQ(polls, 0) << row.what;
  }
  return frames;
}

TEST(FramePacer, DrawsOnlyForEventsChangesAndSettling) {
  const Row rows[] = {
      {"idle: the first frames settle, then nothing", false, true, 0, false, 3, 3},
      {"minimised: nothing, not even the first frame", true, true, 0.001, true, 0, 0},
      {"one event after 1 s: three more frames", false, true, 100, false, 6, 6},
      {"continuous input, foreground: from 1 s on, at most 60 a second", false, true, 0.001, false, 530, 543},
      {"continuous input, background: from 1 s on, at most 30 a second", false, false, 0.001, false, 265, 273},
      {"data flowing, foreground: capped at 30 a second", false, true, 0, true, 295, 303},
      {"data flowing, background: capped at 15 a second", false, false, 0, true, 145, 153},
  };
  for (const Row& row : rows) {
    const int frames = framesOver10s(row);
    EXPECT_GE(frames, row.minFrames) << row.what;
    EXPECT_LE(frames, row.maxFrames) << row.what;
  }
}

}  // namespace
