#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/xr/openxr_api.h"
#include "common/xr/shared_records.h"

// How the main program's input record changes what the game reads from an action,
// given the binding paths the game suggested for that action. Paths are considered
// in the order recorded; with a subaction path only paths containing it count.
namespace xrlayer {

// A real stick inside this radius counts as resting, and the injected stick is added.
inline constexpr float kRestRadius = 0.05f;
// The last-output memory's value while the layer is not injecting into that stick.
inline constexpr float kNotInjecting = -9999.0f;

// True when a held button (in both its mask and confirm mask, on either hand) is
// bound to one of the paths: A/X bit to x/click and a/click, B/Y bit to y/click and
// b/click, grip bit to squeeze/click, trigger bit to trigger/click.
bool injectedPress(const xrshm::InputRecord& input, const std::vector<std::string>& paths, std::string_view subaction);

// The injected value for a float bound to an injected stick's x or y axis; the real
// value r (0 when inactive) gets the stick added while |r| <= kRestRadius. Clamped
// to -1..1. Nothing when no path matches.
std::optional<float> injectedAxis(const xrshm::InputRecord& input, const std::vector<std::string>& paths,
                                  std::string_view subaction, float real);

// A record whose sequence has not moved for this long counts as released: the
// program that wrote it stopped (killed, or hung) without clearing it.
inline constexpr std::uint64_t kRecordStaleMs = 500;

// Whether the input record is live: its sequence moved since the layer first saw
// it, and last moved less than kRecordStaleMs ago. Times are milliseconds of a
// monotonic clock. Safe to call from several threads.
class RecordLiveness {
 public:
  bool live(std::uint32_t sequence, std::uint64_t now);

 private:
  std::atomic<bool> seen_{false};
  std::atomic<bool> moved_{false};
  std::atomic<std::uint32_t> sequence_{0};
  std::atomic<std::uint64_t> changedAt_{0};
};

// The last two-axis output per hand; kNotInjecting while the layer does not inject.
struct StickMemory {
  std::atomic<float>* left;   // x, y
  std::atomic<float>* right;  // x, y
};

// The stick the game reads for a two-axis action bound to a thumbstick, or nothing
// to leave the runtime's state alone. While injecting, a real stick beyond
// kRestRadius wins; the frame after injection ends reads (0, 0) once.
std::optional<XrVector2f> injectedStick(const xrshm::InputRecord& input, const std::vector<std::string>& paths,
                                        std::string_view subaction, XrVector2f real, StickMemory memory);

}  // namespace xrlayer
