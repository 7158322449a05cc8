#include "layer/injection_rules.h"

#include <algorithm>
#include <cmath>

namespace xrlayer {
namespace {

bool considered(const std::string& path, std::string_view subaction) {
  return subaction.empty() || path.find(subaction) != std::string::npos;
}

bool contains(const std::string& path, std::string_view text) { return path.find(text) != std::string::npos; }

float clampUnit(float value) { return std::clamp(value, -1.0f, 1.0f); }

// The record comes from another process: a value that is no number injects nothing.
float injectable(float value) { return std::isfinite(value) ? value : 0.0f; }

struct ButtonRow {
  std::uint64_t bit;
  std::string_view text;
};
constexpr ButtonRow kButtonRows[] = {
    {xrshm::kButtonAX, "input/x/click"},         {xrshm::kButtonBY, "input/y/click"},
    {xrshm::kButtonAX, "input/a/click"},         {xrshm::kButtonBY, "input/b/click"},
    {xrshm::kButtonGrip, "input/squeeze/click"}, {xrshm::kButtonTrigger, "input/trigger/click"},
};

struct Hand {
  bool active;
  float x;
  float y;
  std::string_view stick;  // the thumbstick's path
  std::atomic<float>* last;
};

}  // namespace

bool RecordLiveness::live(std::uint32_t sequence, std::uint64_t now) {
  if (!seen_.exchange(true)) {
    // First sight: a record left by a program that is gone looks just like this.
    sequence_ = sequence;
    changedAt_ = now;
    return false;
  }
  if (sequence != sequence_.load()) {
    sequence_ = sequence;
    changedAt_ = now;
    moved_ = true;
    return true;
  }
  const std::uint64_t changed = changedAt_.load();
  return moved_.load() && (now < changed || now - changed < kRecordStaleMs);
}

bool injectedPress(const xrshm::InputRecord& input, const std::vector<std::string>& paths, std::string_view subaction) {
  for (const std::string& path : paths) {
    if (!considered(path, subaction)) continue;
    for (const ButtonRow& row : kButtonRows) {
      const bool held = xrshm::leftHeld(input, row.bit) || xrshm::rightHeld(input, row.bit);
      if (held && contains(path, row.text)) return true;
    }
  }
  return false;
}

std::optional<float> injectedAxis(const xrshm::InputRecord& input, const std::vector<std::string>& paths,
                                  std::string_view subaction, float real) {
  for (const std::string& path : paths) {
    if (!considered(path, subaction)) continue;
    std::optional<float> stick;
    if (input.leftActive && contains(path, "/user/hand/left/input/thumbstick/x"))
      stick = injectable(input.leftX);
    else if (input.leftActive && contains(path, "/user/hand/left/input/thumbstick/y"))
      stick = injectable(input.leftY);
    else if (input.rightActive && contains(path, "/user/hand/right/input/thumbstick/x"))
      stick = injectable(input.rightX);
    else if (input.rightActive && contains(path, "/user/hand/right/input/thumbstick/y"))
      stick = injectable(input.rightY);
    if (!stick) continue;
    return clampUnit(std::abs(real) <= kRestRadius ? real + *stick : real);
  }
  return std::nullopt;
}

std::optional<XrVector2f> injectedStick(const xrshm::InputRecord& input, const std::vector<std::string>& paths,
                                        std::string_view subaction, XrVector2f real, StickMemory memory) {
  const Hand hands[] = {
      {input.leftActive != 0, injectable(input.leftX), injectable(input.leftY), "/user/hand/left/input/thumbstick",
       memory.left},
      {input.rightActive != 0, injectable(input.rightX), injectable(input.rightY), "/user/hand/right/input/thumbstick",
       memory.right},
  };
  for (const std::string& path : paths) {
    if (!considered(path, subaction)) continue;
    for (const Hand& hand : hands) {
      if (!contains(path, hand.stick)) continue;
      const float lastX = hand.last[0].load(std::memory_order_relaxed);
      const float lastY = hand.last[1].load(std::memory_order_relaxed);
      if (hand.active) {
        XrVector2f seen = real;
        // A real value equal to our last output is our own output coming back, not a push.
        if (seen.x == lastX && seen.y == lastY) seen = {0, 0};
        XrVector2f output;
        if (seen.x * seen.x + seen.y * seen.y > kRestRadius * kRestRadius) {
          output = {clampUnit(seen.x), clampUnit(seen.y)};
          hand.last[0].store(kNotInjecting, std::memory_order_relaxed);
          hand.last[1].store(kNotInjecting, std::memory_order_relaxed);
        } else {
          output = {clampUnit(seen.x + hand.x), clampUnit(seen.y + hand.y)};
          hand.last[0].store(output.x, std::memory_order_relaxed);
          hand.last[1].store(output.y, std::memory_order_relaxed);
        }
        return output;
      }
      if (lastX != kNotInjecting || lastY != kNotInjecting) {
        hand.last[0].store(kNotInjecting, std::memory_order_relaxed);
        hand.last[1].store(kNotInjecting, std::memory_order_relaxed);
        return XrVector2f{0, 0};
      }
    }
  }
  return std::nullopt;
}

}  // namespace xrlayer
