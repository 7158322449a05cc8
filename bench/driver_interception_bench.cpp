// Cost of the driver's interception on every UpdateScalarComponent call of another
// driver, against the same call straight to the server's implementation.
#include <benchmark/benchmark.h>

#include "common/hook/hook_protocol.h"
#include "driver/interception.h"
#include "driver/relay.h"
#include "testing/fake_vrserver/fake_vrserver.h"

namespace {

// The server's implementation, as cheap as an implementation can be.
class StoringInput : public vr::IVRDriverInput {
 public:
  vr::EVRInputError CreateBooleanComponent(vr::PropertyContainerHandle_t, const char*,
                                           vr::VRInputComponentHandle_t* handle) override {
    *handle = ++next;
    return vr::VRInputError_None;
  }
  vr::EVRInputError UpdateBooleanComponent(vr::VRInputComponentHandle_t, bool value, double) override {
    boolean = value;
    return vr::VRInputError_None;
  }
  vr::EVRInputError CreateScalarComponent(vr::PropertyContainerHandle_t, const char*,
                                          vr::VRInputComponentHandle_t* handle, vr::EVRScalarType,
                                          vr::EVRScalarUnits) override {
    *handle = ++next;
    return vr::VRInputError_None;
  }
  vr::EVRInputError UpdateScalarComponent(vr::VRInputComponentHandle_t, float value, double) override {
    scalar = value;
    return vr::VRInputError_None;
  }
  vr::EVRInputError CreateHapticComponent(vr::PropertyContainerHandle_t, const char*,
                                          vr::VRInputComponentHandle_t* handle) override {
    *handle = ++next;
    return vr::VRInputError_None;
  }
  vr::VRInputComponentHandle_t next = 0;
  float scalar = 0;
  bool boolean = false;
};

std::uint64_t fixedTicks() { return 1000; }

StoringInput g_input;
// Reached through a pointer the compiler cannot see through, as another driver would.
vr::IVRDriverInput* volatile g_interface = &g_input;

struct Setup {
  explicit Setup(const char* message) {
    fakevr::FakeProperties& props = properties;
    props.set(7, {1, "LHR-LEFT", false});
    props.set(8, {2, "LHR-RIGHT", false});
    gaitrelay::Interception::install(g_interface, &properties, &relay, &fixedTicks);
    vr::IVRDriverInput* input = g_interface;
    input->CreateScalarComponent(7, "/input/thumbstick/x", &leftX, vr::VRScalarType_Absolute,
                                 vr::VRScalarUnits_NormalizedTwoSided);
    input->CreateScalarComponent(7, "/input/thumbstick/y", &leftY, vr::VRScalarType_Absolute,
                                 vr::VRScalarUnits_NormalizedTwoSided);
    input->CreateScalarComponent(8, "/input/joystick/y", &rightY, vr::VRScalarType_Absolute,
                                 vr::VRScalarUnits_NormalizedTwoSided);
    input->CreateScalarComponent(8, "/input/trigger/value", &trigger, vr::VRScalarType_Absolute,
                                 vr::VRScalarUnits_NormalizedOneSided);
    if (message) relay.apply(hook::parse(message), fixedTicks());
  }
  ~Setup() { gaitrelay::Interception::remove(); }
  fakevr::FakeProperties properties;
  gaitrelay::Relay relay;
  vr::VRInputComponentHandle_t leftX = 0, leftY = 0, rightY = 0, trigger = 0;
};

void run(benchmark::State& state, vr::VRInputComponentHandle_t handle) {
  vr::IVRDriverInput* input = g_interface;
  float value = 0.01f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(input->UpdateScalarComponent(handle, value, 0.0));
    benchmark::ClobberMemory();
  }
}

void BM_DirectCall(benchmark::State& state) { run(state, 1); }

void BM_InterceptedOtherComponent(benchmark::State& state) {
  Setup setup(nullptr);
  run(state, setup.trigger);
}

void BM_InterceptedStickNoOverride(benchmark::State& state) {
  Setup setup(nullptr);
  run(state, setup.leftY);
}

void BM_InterceptedStickHandOverride(benchmark::State& state) {
  Setup setup("L 0.0000 1.0000");
  run(state, setup.leftY);
  if (g_input.scalar != 1.0f) state.SkipWithError("the override did not apply");
}

void BM_InterceptedStickSerialOverride(benchmark::State& state) {
  Setup setup("SN:LHR-RIGHT 0.0000 0.5000");
  run(state, setup.rightY);
  if (g_input.scalar < 0.505f || g_input.scalar > 0.515f) state.SkipWithError("the override did not apply");
}

}  // namespace

BENCHMARK(BM_DirectCall);
BENCHMARK(BM_InterceptedOtherComponent);
BENCHMARK(BM_InterceptedStickNoOverride);
BENCHMARK(BM_InterceptedStickHandOverride);
BENCHMARK(BM_InterceptedStickSerialOverride);
BENCHMARK_MAIN();
