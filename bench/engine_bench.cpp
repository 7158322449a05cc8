// Per-sample cost of the engine: one tracker quaternion from the handler to the
// output call, with an output port that does nothing.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstddef>

#include "app/engine/engine.h"

namespace {

struct NoOutput : outputs::IOutputPort {
  float sink = 0;
  void updateStick(float x, float y) override { sink += x + y; }
  void setJump(bool) override {}
  void setCrouch(bool) override {}
  void centerAll() override {}
  void keepAlive() override {}
};

struct FixedClock : core::Clock {
  double now() const override { return 10.0; }
};

struct Bench {
  core::Settings settings;
  core::Logger logger{nullptr};
  core::ServiceManager services{settings, logger};
  FixedClock clock;
  NoOutput output;
  engine::Engine engine{settings, logger, services, clock, output, nullptr, nullptr, nullptr};
};

// A slowly swaying tracker, so every sample passes change detection. The sway is
// worked out before the timing, so the figure is the engine's and not std::sin's.
struct Sway {
  static constexpr std::size_t kSamples = 4096;  // a power of two
  std::array<std::array<float, 4>, kSamples> samples{};
  Sway() {
    for (std::size_t i = 0; i < kSamples; ++i) {
      const float h = 0.2f * std::sin(0.01f * static_cast<float>(i + 1));
      samples[i] = {std::sin(h), 0.05f, 0.0f, std::cos(h)};
    }
  }
};

void runSamples(benchmark::State& state, Bench& bench, const char* source) {
  static const Sway sway;
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& q = sway.samples[next++ & (Sway::kSamples - 1)];
    bench.engine.onQuaternion(source, q[0], q[1], q[2], q[3]);
  }
  benchmark::DoNotOptimize(bench.output.sink);
  state.SetItemsProcessed(state.iterations());
}

void BM_QuaternionSample_Portrait(benchmark::State& state) {
  Bench bench;
  runSamples(state, bench, "Phone");
}
BENCHMARK(BM_QuaternionSample_Portrait);

void BM_QuaternionSample_LandscapeInwardWrapped(benchmark::State& state) {
  Bench bench;
  bench.settings.config.edit([&](core::Config& c) { c.locomotion.orientation = core::Mounting::LandscapeLeft; });
  bench.settings.config.edit([&](core::Config& c) { c.locomotion.screen_facing = core::Facing::Inward; });
  bench.settings.config.edit([&](core::Config& c) { c.locomotion.fix_angle_discontinuity = true; });
  bench.settings.config.edit([&](core::Config& c) { c.locomotion.progression = 0.5f; });
  runSamples(state, bench, "Phone");
}
BENCHMARK(BM_QuaternionSample_LandscapeInwardWrapped);

void BM_QuaternionSample_SlimeOscAddress(benchmark::State& state) {
  Bench bench;
  bench.settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  runSamples(state, bench, "/tracking/trackers/1/rotation");
}
BENCHMARK(BM_QuaternionSample_SlimeOscAddress);

void BM_QuaternionSample_IgnoredSource(benchmark::State& state) {
  Bench bench;
  runSamples(state, bench, "SteamVR Tracker");
}
BENCHMARK(BM_QuaternionSample_IgnoredSource);

}  // namespace
