// Counts heap allocations on the sample path (operator new replaced in this
// binary): the live-plot ring fill alone, and the engine's whole rotation and
// position handlers, which fill the rings as part of each sample. Measures and
// prints; asserts nothing.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/core/live_history.h"
#include "app/engine/engine.h"
#include "app/engine/fake_output_port.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kSamples = 100000;

template <class F>
double allocationsPerSample(F&& sample) {
  for (int i = 0; i < 100; ++i) sample(i);  // warm up: first-use allocations are not per sample
  const long before = g_allocations.load();
  for (int i = 0; i < kSamples; ++i) sample(i);
  return static_cast<double>(g_allocations.load() - before) / kSamples;
}

}  // namespace

int main() {
  auto history = std::make_unique<core::LiveHistory>();
  const double ring = allocationsPerSample([&](int i) {
    core::LeanSample lean;
    lean.time = i * 0.001;
    lean.leanForward = static_cast<float>(i % 30);
    history->lean.push(lean);
    history->jump.push({i * 0.001, 1.0f, 0});
    history->crouch.push({i * 0.001, 150.0f, false});
  });

  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  core::Logger logger{nullptr};
  core::ServiceManager services{settings, logger};
  engine::ManualClock clock;
  engine::RecordingOutputPort port;
  engine::Engine engine(settings, logger, services, clock, port, {}, {}, {});
  const double rotation = allocationsPerSample([&](int i) {
    port.calls.clear();
    engine.onRotation("Phone", static_cast<float>(i % 40), 0, static_cast<float>(i % 7));
  });
  const double position = allocationsPerSample([&](int i) {
    port.calls.clear();
    engine.onPosition("SteamVR (OpenVR)", 0, 1.5f + (i % 10) * 0.01f, 0);
  });
  // A SlimeVR tracker over OSC: its samples are told apart by their address.
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  const double slimeOsc = allocationsPerSample([&](int i) {
    port.calls.clear();
    const float h = 0.001f * static_cast<float>(i % 200);
    engine.onQuaternion("/tracking/trackers/1/rotation", h, 0.05f, 0.0f, 1.0f - h * h / 2);
  });
  core::LeanSample copy[16];
  std::printf("history_alloc_bench: %d samples each\n", kSamples);
  std::printf("  ring fill (lean + jump + crouch push): %.3f allocations per sample\n", ring);
  std::printf("  engine rotation handler (fills the lean ring): %.3f allocations per sample\n", rotation);
  std::printf("  engine position handler (fills the jump and crouch rings): %.3f allocations per sample\n", position);
  std::printf("  engine quaternion handler, SlimeVR OSC tracker: %.3f allocations per sample\n", slimeOsc);
  std::printf("  (rings hold %zu lean samples; last copied: %zu)\n", decltype(core::LiveHistory::lean)::kCapacity,
              engine.history().lean.copyLatest(copy, 16));
  return 0;
}
