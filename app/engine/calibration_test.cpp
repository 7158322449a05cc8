#include "app/engine/calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace engine::calibration {
namespace {

const AxisMap kMap{core::AxisY, core::AxisNone, core::AxisX};  // the phone defaults
const Angles kCentre{3, 1, -2};

// A 3 s step at 100 samples a second: forward lean `forward(t)` on the first
// angle and right lean `right(t)` (the negated third angle) around kCentre,
// plus a reproducible noise of up to `noise` degrees; the tracker stops at `silentFrom`.
Recording record(const std::function<float(double)>& forward, const std::function<float(double)>& right,
                 float noise = 0, double silentFrom = 99) {
  Recording r{{}, 10.0, 13.0};
  unsigned seed = 12345;
  auto jitter = [&] {
    seed = seed * 1103515245u + 12345u;
    return noise * (static_cast<float>((seed >> 8) % 2001) / 1000.0f - 1.0f);
  };
  for (double t = 0; t <= 3.0; t += 0.01) {
    if (t >= silentFrom) break;
    core::LeanSample s;
    s.time = r.start + t;
    s.mapped[0] = kCentre[0] + forward(t) + jitter();
    s.mapped[1] = kCentre[1] + jitter();
    s.mapped[2] = kCentre[2] - right(t) + jitter();
    r.samples.push_back(s);
  }
  return r;
}

auto still = [](double) { return 0.0f; };
// Leans in over the first second, holds `degrees`.
auto leanTo(float degrees) {
  return [degrees](double t) { return static_cast<float>(degrees * std::min(t, 1.0)); };
}

TEST(Calibration, StandingSetsTheCentreAndADeadZoneAboveTheSway) {
  const StandResult clean = stand(record(still, still), kMap);
  ASSERT_EQ(clean.problem, Problem::None);
  EXPECT_EQ(clean.centre, kCentre);
  EXPECT_EQ(clean.deadzone, 1.0f);  // no sway: the floor

  const StandResult noisy = stand(record(still, still, 2.0f), kMap);
  ASSERT_EQ(noisy.problem, Problem::None);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(noisy.centre[i], kCentre[i], 0.3f);
  EXPECT_GT(noisy.sway95, 1.5f);
  EXPECT_LE(noisy.sway95, 2.0f);
  EXPECT_FLOAT_EQ(noisy.deadzone, noisy.sway95 * 1.25f + 0.5f);

  const StandResult silent = stand(record(still, still, 0, 1.5), kMap);
  EXPECT_EQ(silent.problem, Problem::Silent);
  EXPECT_NE(silent.message.find("silent 1.5 s into"), std::string::npos) << silent.message;
}

TEST(Calibration, EachLeanReachesAHighPercentileOrStopsTheStep) {
  struct Row {
    const char* what;
    Recording recording;
    Direction direction;
    float deadzone;
    Problem problem;
    float reach;
  };
  const Row rows[] = {
      {"clean forward", record(leanTo(22), still), Direction::Forward, 1, Problem::None, 22},
      {"clean left", record(still, leanTo(-18)), Direction::Left, 1, Problem::None, 18},
      {"noisy back", record(leanTo(-25), still, 2.0f), Direction::Back, 2, Problem::None, 25},
      {"silent mid-step", record(leanTo(22), still, 0, 2.0), Direction::Forward, 1, Problem::Silent, 0},
      {"never reaches the minimum", record(leanTo(4), still), Direction::Forward, 1, Problem::TooSmall, 4},
      {"under twice the dead zone", record(still, leanTo(9.5f)), Direction::Right, 5, Problem::TooSmall, 9.5f},
      {"just over twice the dead zone", record(still, leanTo(10.5f)), Direction::Right, 5, Problem::None, 10.5f},
      {"the wrong way", record(leanTo(-20), still), Direction::Forward, 1, Problem::TooSmall, 0},
  };
  for (const Row& row : rows) {
    const LeanResult result = lean(row.recording, kMap, kCentre, row.deadzone, row.direction);
    EXPECT_EQ(result.problem, row.problem) << row.what << ": " << result.message;
    if (row.problem != Problem::Silent) {
      EXPECT_NEAR(std::max(result.reach, 0.0f), row.reach, 1.5f) << row.what;
    }
    EXPECT_EQ(result.message.empty(), row.problem == Problem::None) << row.what;
  }
  EXPECT_EQ(sensitivity(22, 18), 18.0f);
  EXPECT_EQ(sensitivity(120, 95), 90.0f);
}

// A head step at 100 samples a second from t = 10: still for 2 s, then jumps (a
// 0.3 s rise to each of `jumps`, 1.6 s apart from 12.8), then from 16 to 20 a
// crouch `depth` cm down from 170 (held 17..18.5), with noise of up to `noise`;
// the head source stops `silentFrom` seconds into the step.
HeadRecording headRecord(const std::vector<float>& jumps, float depth, float noise = 0, double silentFrom = 99) {
  HeadRecording r{{}, {}, 10.0, 12.0, 16.0, 20.0};
  unsigned seed = 777;
  auto jitter = [&] {
    seed = seed * 1103515245u + 12345u;
    return noise * (static_cast<float>((seed >> 8) % 2001) / 1000.0f - 1.0f);
  };
  for (int i = 0; i <= 1000 && i * 0.01 < silentFrom; ++i) {
    const double t = r.start + i * 0.01;
    float rise = std::fabs(jitter());
    for (std::size_t j = 0; j < jumps.size(); ++j)
      rise += jumps[j] * static_cast<float>(std::max(0.0, 1 - std::fabs(t - 12.8 - 1.6 * j) / 0.15));
    const double down = std::clamp(std::min(t - 16.5, 19.0 - t) * 2, 0.0, 1.0);
    r.jump.push_back({t, rise, 0});
    r.crouch.push_back({t, 170 - depth * static_cast<float>(down) + jitter(), false});
  }
  return r;
}

TEST(Calibration, JumpsAndACrouchSetTheirThresholdsOrStopTheStep) {
  struct Row {
    const char* what;
    HeadRecording recording;
    JumpSignal signal;
    bool crouch;
    Problem problem;
    float threshold, upper, lower;
  };
  const Row rows[] = {
      {"clean height jumps and crouch", headRecord({20, 18}, 50), JumpSignal::Height, true, Problem::None, 10.8f, 155,
       140},
      {"noisy acceleration, no crouch", headRecord({25, 30}, 0, 2), JumpSignal::Acceleration, false, Problem::None, 16,
       0, 0},
      {"silent mid-step", headRecord({20, 18}, 50, 0, 5.0), JumpSignal::Height, true, Problem::Silent, 0, 0, 0},
      {"one jump", headRecord({20}, 50), JumpSignal::Height, true, Problem::TooSmall, 0, 0, 0},
      {"jumps just under the minimum", headRecord({3.8f, 3.8f}, 50), JumpSignal::Height, true, Problem::TooSmall, 0, 0,
       0},
      {"jumps just over the minimum", headRecord({4.2f, 4.2f}, 0), JumpSignal::Height, false, Problem::None, 2.5f, 0,
       0},
      {"crouch just too shallow", headRecord({}, 14), JumpSignal::None, true, Problem::TooSmall, 0, 0, 0},
      {"crouch just deep enough", headRecord({}, 16), JumpSignal::None, true, Problem::None, 0, 165.2f, 160.4f},
  };
  for (const Row& row : rows) {
    const HeadResult result = head(row.recording, row.signal, row.crouch);
    EXPECT_EQ(result.problem, row.problem) << row.what << ": " << result.message;
    EXPECT_EQ(result.message.empty(), row.problem == Problem::None) << row.what;
    if (row.problem != Problem::None) continue;
    EXPECT_NEAR(result.jumpThreshold, row.threshold, 1.0f) << row.what;
    EXPECT_TRUE(row.signal == JumpSignal::None || result.jumpThreshold > result.noise) << row.what;
    EXPECT_NEAR(result.upper, row.upper, 0.5f) << row.what;
    EXPECT_NEAR(result.lower, row.lower, 0.5f) << row.what;
  }
  const HeadResult silent = head(headRecord({20, 18}, 50, 0, 5.0), JumpSignal::Height, true);
  EXPECT_NE(silent.message.find("went silent 5.0 s into"), std::string::npos) << silent.message;
}

}  // namespace
}  // namespace engine::calibration
