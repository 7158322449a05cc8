// Per-sample cost of the jump detectors. Time comes from a set clock that moves
// `spacing` milliseconds a sample, so the window holds window / spacing samples.
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/engine/jump_detector.h"

namespace {

struct StepClock : engine::WallClock {
  long long ms = 1'765'000'000'000LL;
  double nowSeconds() const override { return ms / 1000.0; }
};

// Args: window in ms, sample spacing in ms, compensation on (1) or off (0).
void HeightSample(benchmark::State& state) {
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.jump.jump_window = static_cast<float>(state.range(0)); });
  settings.config.edit([&](core::Config& c) { c.jump.jump_pitch_comp = state.range(2) ? 50.0f : 0.0f; });
  settings.config.edit(
      [&](core::Config& c) { c.jump.jump_threshold = 1000.0f; });  // never reports: measure the steady state
  StepClock clock;
  engine::LiveView live;
  engine::HeightJumpDetector detector(settings, live, clock);
  float phase = 0;
  for (auto _ : state) {
    clock.ms += state.range(1);
    phase += 0.05f;
    detector.setOrientation(10 * std::sin(phase), 0, 0);
    benchmark::DoNotOptimize(detector.processHeight(1.6f + 0.05f * std::sin(phase)));
  }
  state.counters["window_samples"] = static_cast<double>(state.range(0) / state.range(1) + 1);
}
BENCHMARK(HeightSample)
    ->Args({150, 10, 0})
    ->Args({150, 1, 0})
    ->Args({1000, 1, 0})
    ->Args({150, 10, 1})
    ->Args({1000, 1, 1});

// Heights that only fall: every new sample empties the minimum queue, the worst
// case for it; the cost per sample stays constant (amortised).
void HeightFallingWorstCase(benchmark::State& state) {
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.jump.jump_window = 1000; });
  StepClock clock;
  engine::LiveView live;
  engine::HeightJumpDetector detector(settings, live, clock);
  float h = 1e6f;
  for (auto _ : state) {
    clock.ms += 1;
    h -= 0.001f;
    benchmark::DoNotOptimize(detector.processHeight(h));
  }
}
BENCHMARK(HeightFallingWorstCase);

// Args: smoothing window in ms, sample spacing in ms, suppression on (1) or off (0).
void AccelSample(benchmark::State& state) {
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_smoothing = static_cast<float>(state.range(0)); });
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_suppress_threshold = state.range(2) ? 5.0f : 0.0f; });
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_threshold = 1e9f; });
  StepClock clock;
  engine::LiveView live;
  engine::AccelJumpDetector detector(settings, live, clock);
  float phase = 0;
  for (auto _ : state) {
    clock.ms += state.range(1);
    phase += 0.05f;
    benchmark::DoNotOptimize(detector.processAcceleration(0.1f, 3 * std::sin(phase), 0.2f));
  }
  state.counters["window_samples"] = static_cast<double>(state.range(0) / state.range(1) + 1);
}
BENCHMARK(AccelSample)->Args({50, 10, 0})->Args({50, 10, 1})->Args({500, 1, 0})->Args({500, 1, 1});

}  // namespace
