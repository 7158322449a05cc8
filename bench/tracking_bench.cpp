// Per-sample cost of the phone road: decoding a datagram, forwarding a value to the
// engine's slot, and a whole datagram through the phone server over loopback.
#include <benchmark/benchmark.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "app/tracking/owotrack_protocol.h"
#include "app/tracking/owotrack_server.h"
#include "app/tracking/tracking_service.h"

namespace {

using namespace tracking;

std::vector<std::byte> rotationPacket() {
  std::vector<std::byte> data(owotrack::kRotationSize);
  owotrack::writeHeader(data, owotrack::kRotation, 1);
  owotrack::writeF32(data, 12, 0.1f);
  owotrack::writeF32(data, 24, 0.99f);
  return data;
}

void DecodeRotation(benchmark::State& state) {
  const auto data = rotationPacket();
  for (auto _ : state) benchmark::DoNotOptimize(owotrack::decode(data));
}
BENCHMARK(DecodeRotation);

// A phone receiver whose rotation callback the benchmark calls directly.
struct DirectPhone : IPhoneReceiver {
  RotationCallback rotation;
  void set_rotation_callback(RotationCallback cb) override { rotation = std::move(cb); }
  void set_accel_callback(Vec3Callback) override {}
  bool start() override { return true; }
  void stop() override {}
};

// Forwarding from a receiver thread to the engine slot; with Threads > 1 several
// receivers deliver at once (the slots are read concurrently).
void ForwardToEngineSlot(benchmark::State& state) {
  static core::Settings settings;
  static core::Logger logger(nullptr);
  static DirectPhone phone;
  static TrackingService* service = nullptr;
  static std::atomic<long> delivered{0};
  if (state.thread_index() == 0) {
    service = new TrackingService(settings, logger, Receivers{.phone = &phone});
    service->initialize();
    core::SampleSink callbacks;
    callbacks.on_quaternion = [](std::string_view, float, float, float, float) {
      delivered.fetch_add(1, std::memory_order_relaxed);
    };
    service->setCallbacks(callbacks);
  }
  for (auto _ : state) phone.rotation(0.1f, 0.2f, 0.3f, 0.9f);
  if (state.thread_index() == 0) {
    service->cleanup();
    delete service;
    service = nullptr;
  }
}
BENCHMARK(ForwardToEngineSlot)->Threads(1)->Threads(2)->UseRealTime();

// One rotation datagram from a phone socket to the server's callback, over loopback.
void RotationThroughServer(benchmark::State& state) {
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 0; });
  core::SilentFeedbackSounds sounds;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr);
  std::ostringstream lines;
  core::Logger log(&lines);
  owotrack_server server(settings, toggle, log);
  std::atomic<long> received{0};
  server.set_rotation_callback([&](float, float, float, float) { received.fetch_add(1, std::memory_order_release); });
  if (!server.start()) {
    state.SkipWithError("server did not start");
    return;
  }
  platform::UdpSocket phone;
  phone.open();
  const auto data = rotationPacket();
  const auto to = platform::Endpoint::loopback(server.port());
  // The server follows the phone that greeted it.
  std::vector<std::byte> hello(owotrack::kHeaderSize);
  owotrack::writeHeader(hello, owotrack::kHandshake, 0);
  phone.sendTo(hello, to);
  long sent = 0;
  for (auto _ : state) {
    phone.sendTo(data, to);
    ++sent;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (received.load(std::memory_order_acquire) < sent && std::chrono::steady_clock::now() < deadline) {
    }
  }
  server.stop();
  state.counters["lost"] = static_cast<double>(sent - received.load());
}
BENCHMARK(RotationThroughServer)->UseRealTime();

}  // namespace
