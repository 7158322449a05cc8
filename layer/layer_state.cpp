#include "layer/layer_state.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace xrlayer {

LayerState& layerState() {
  static LayerState* state = [] {
    auto* fresh = new LayerState;
    for (auto* memory : {&fresh->lastLeft, &fresh->lastRight}) {
      (*memory)[0] = kNotInjecting;
      (*memory)[1] = kNotInjecting;
    }
    return fresh;
  }();
  return *state;
}

std::uint64_t layerClockMs() {
  static const bool testClock = std::getenv("STRIVO_XR_LAYER_CLOCK_MS") != nullptr;
  if (testClock) {
    const char* text = std::getenv("STRIVO_XR_LAYER_CLOCK_MS");
    return text ? std::strtoull(text, nullptr, 10) : 0;
  }
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void mapSharedSections() {
  LayerState& state = layerState();
  std::unique_lock guard(state.lock);
  if (!state.stateSection.isOpen() &&
      state.stateSection.createOrAttach(xrshm::kStateRecordName, xrshm::kStateRecordSize)) {
    state.state = static_cast<xrshm::StateRecord*>(state.stateSection.data());
  }
  if (!state.inputSection.isOpen() &&
      state.inputSection.createOrAttach(xrshm::kInputRecordName, xrshm::kInputRecordSize)) {
    state.input = static_cast<const xrshm::InputRecord*>(state.inputSection.data());
    // The first look: injection starts once the program is seen changing the record.
    state.inputLiveness.live(state.input.load()->sequence, layerClockMs());
  }
}

std::optional<DispatchRecord> dispatchFor(XrInstance instance) {
  LayerState& state = layerState();
  std::shared_lock guard(state.lock);
  const auto found = state.instances.find(instance);
  if (found == state.instances.end()) return std::nullopt;
  return found->second;
}

std::optional<SessionRecord> sessionRecord(XrSession session) {
  LayerState& state = layerState();
  std::shared_lock guard(state.lock);
  const auto found = state.sessions.find(session);
  if (found == state.sessions.end()) return std::nullopt;
  return found->second;
}

std::optional<DispatchRecord> firstDispatch() {
  LayerState& state = layerState();
  std::shared_lock guard(state.lock);
  if (state.instances.empty()) return std::nullopt;
  return state.instances.begin()->second;
}

}  // namespace xrlayer
