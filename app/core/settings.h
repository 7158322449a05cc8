#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "app/core/axis.h"
#include "app/core/choices.h"
#include "app/core/config_store.h"
#include "app/core/guarded.h"

namespace core {

// Three floats that the engine writes and other threads read. Each component is
// atomic on its own; a reader may see components of two neighbouring samples,
// which is harmless for display and for the engine's own reads under its lock.
struct AtomicVec3 {
  std::array<std::atomic<float>, 3> v{};

  AtomicVec3(float x = 0, float y = 0, float z = 0) { set(x, y, z); }
  void set(float x, float y, float z) {
    v[0].store(x, std::memory_order_relaxed);
    v[1].store(y, std::memory_order_relaxed);
    v[2].store(z, std::memory_order_relaxed);
  }
  float operator[](int i) const { return v[i].load(std::memory_order_relaxed); }
  std::array<float, 3> get() const { return {(*this)[0], (*this)[1], (*this)[2]}; }
};

// What the program's rooms share: every tunable, held by `config` as one value in
// sections (persisted under their JSON keys by SettingsFile; subscribers hear of each
// change), and the two live flags several components set (tracking on or off, the keys
// held). The engine's own live values are its engine::LiveView. One instance is made
// by the program's composition root; tests make their own.
struct Settings {
  ConfigStore config;

  // ---- Live fields (not persisted) ----
  Guarded<std::vector<std::string>> held_keys;
  std::atomic<bool> tracking_active{true};
};

}  // namespace core
