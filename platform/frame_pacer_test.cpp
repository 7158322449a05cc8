#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

using Step = platform::FramePacer::Step;

// Counts the frames drawn over `seconds` when asked every millisecond.
int framesOver(double seconds, bool minimized, bool foreground) {
  platform::FramePacer pacer;
  int frames = 0;
  for (int ms = 0; ms < seconds * 1000; ++ms)
    if (pacer.next(ms / 1000.0, minimized, foreground) == Step::Draw) ++frames;
  return frames;
}

TEST(FramePacer, ForegroundDrawsAtMostSixtyAndBackgroundThirtyFramesASecond) {
  EXPECT_LE(framesOver(2.0, false, true), 120);
  EXPECT_GE(framesOver(2.0, false, true), 110);
  EXPECT_LE(framesOver(2.0, false, false), 60);
  EXPECT_GE(framesOver(2.0, false, false), 55);
}

TEST(FramePacer, MinimisedDrawsNothingAndTheFirstFrameComesAtOnce) {
  EXPECT_EQ(framesOver(2.0, true, true), 0);
  platform::FramePacer pacer;
  EXPECT_EQ(pacer.next(1000.0, true, true), Step::SleepMinimized);
  EXPECT_EQ(pacer.next(1000.0, false, true), Step::Draw);
  EXPECT_EQ(pacer.next(1000.001, false, true), Step::Wait);
  EXPECT_EQ(pacer.next(1000.0 + 1.0 / 60 + 0.0001, false, true), Step::Draw);
}

}  // namespace
