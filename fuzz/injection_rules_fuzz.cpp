// The layer's injection rules over random input records, binding paths, subaction
// paths and real values: nothing but finite values in -1..1 reaches the game for
// finite real ones, a value in the record that is no number injects nothing, the
// stick memory holds only outputs or "not injecting", and once no hand is active a
// stick reads (0, 0) at most once before the runtime's state is left alone.
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "layer/injection_rules.h"

namespace {

const char* const kPieces[] = {"/user/hand/left",
                               "/user/hand/right",
                               "/input/thumbstick",
                               "/x",
                               "/y",
                               "/input/a/click",
                               "/input/x/click",
                               "/input/b/click",
                               "/click",
                               "/input",
                               "/input/squeeze",
                               "/input/trigger",
                               "/value",
                               "/user/gamepad"};
constexpr std::size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];

bool unit(float value) { return std::isfinite(value) && value >= -1.0f && value <= 1.0f; }
bool memoryValue(float value) { return value == xrlayer::kNotInjecting || unit(value); }

float realFrom(std::uint8_t byte) { return static_cast<std::int8_t>(byte) / 64.0f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  xrshm::InputRecord input;
  if (size < sizeof input + 4) return 0;
  std::memcpy(&input, data, sizeof input);
  const std::uint8_t choices[4] = {data[sizeof input], data[sizeof input + 1], data[sizeof input + 2],
                                   data[sizeof input + 3]};
  // The paths: each byte adds a known piece, or one character of its own; 0xFF ends a path.
  std::vector<std::string> paths(1);
  for (std::size_t at = sizeof input + 4; at < size && paths.size() <= 16; ++at) {
    const std::uint8_t byte = data[at];
    if (byte == 0xFF)
      paths.emplace_back();
    else if (byte < kPieceCount)
      paths.back() += kPieces[byte];
    else
      paths.back() += static_cast<char>(byte);
  }
  const char* const subactions[] = {"", "/user/hand/left", "/user/hand/right", "/user/gamepad"};
  const std::string subaction = subactions[choices[0] % 4];
  const float real = realFrom(choices[1]);
  const XrVector2f realStick{realFrom(choices[2]), realFrom(choices[3])};

  const bool pressed = xrlayer::injectedPress(input, paths, subaction);
  if (!xrshm::leftHeld(input, ~0ull) && !xrshm::rightHeld(input, ~0ull)) FUZZ_CHECK(!pressed);

  const auto axis = xrlayer::injectedAxis(input, paths, subaction, real);
  if (axis) FUZZ_CHECK(unit(*axis));
  // A value that is no number injects nothing, as a zero would.
  xrshm::InputRecord meant = input;
  for (float* value : {&meant.leftX, &meant.leftY, &meant.rightX, &meant.rightY})
    if (!std::isfinite(*value)) *value = 0;
  FUZZ_CHECK(axis == xrlayer::injectedAxis(meant, paths, subaction, real));

  std::atomic<float> left[2] = {choices[2] & 1 ? xrlayer::kNotInjecting : realFrom(choices[0]) / 2,
                                xrlayer::kNotInjecting};
  std::atomic<float> right[2] = {xrlayer::kNotInjecting, choices[3] & 1 ? xrlayer::kNotInjecting : 0.25f};
  const xrlayer::StickMemory memory{left, right};
  for (int frame = 0; frame < 3; ++frame) {
    const auto stick = xrlayer::injectedStick(input, paths, subaction, realStick, memory);
    if (stick) FUZZ_CHECK(unit(stick->x) && unit(stick->y));
    for (const auto* last : {left, right}) FUZZ_CHECK(memoryValue(last[0]) && memoryValue(last[1]));
    // No hand injects: each hand's stick may read (0, 0) once, then the runtime is left alone.
    if (!input.leftActive && !input.rightActive && frame > 1) FUZZ_CHECK(!stick);
    if (stick && !input.leftActive && !input.rightActive) FUZZ_CHECK(stick->x == 0 && stick->y == 0);
  }
  return 0;
}
