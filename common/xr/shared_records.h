#pragma once

#include <cstddef>
#include <cstdint>

// The two records the main program and the OpenXR layer (inside the game) share
// through named shared memory. This header is their one definition: names, sizes
// and layouts. Both sides map the exact sizes below; there is no lock or version
// field, each field is a single aligned value so torn updates stay harmless.
namespace xrshm {

// Section names without a namespace: the Windows seam places them in "Local\",
// the POSIX seam opens them as "/<name>".
inline constexpr char kInputRecordName[] = "Strivo_OpenXR_Input";
inline constexpr char kStateRecordName[] = "PadwrightXR_State";

// Button bits of the input record's masks (1 << OpenVR button id).
inline constexpr std::uint64_t kButtonBY = 0x2;                       // "B" or "Y"
inline constexpr std::uint64_t kButtonGrip = 0x4;                     // "Grip"
inline constexpr std::uint64_t kButtonAX = 0x80;                      // "A" or "X"
inline constexpr std::uint64_t kButtonThumbstickClick = 0x100000000;  // ignored by the layer
inline constexpr std::uint64_t kButtonTrigger = 0x200000000;          // "Trigger"

// Written by the main program, read by the layer. Sticks: y positive forward.
struct InputRecord {
  // Changed after every write, and at least every 100 ms while anything is active.
  // The layer reads it: a record whose sequence stood still for 500 ms (or never
  // moved since the layer first saw it) is treated as released.
  std::uint32_t sequence;
  std::uint8_t leftActive;
  std::uint8_t reserved0[3];
  float leftX;
  float leftY;
  std::uint8_t rightActive;
  std::uint8_t reserved1[3];
  float rightX;
  float rightY;
  std::uint8_t reserved2[4];
  std::uint64_t leftButtons;
  std::uint64_t rightButtons;
  std::uint64_t leftConfirm;   // always equal to leftButtons
  std::uint64_t rightConfirm;  // always equal to rightButtons
};

// A controller pose; position and orientation keep their old values while not valid.
struct PoseBlock {
  float position[3];     // x, y, z in metres
  float orientation[4];  // x, y, z, w
  std::uint8_t valid;
  std::uint8_t reserved[3];
};

// Written by the layer once per game frame, read by the main program.
struct StateRecord {
  std::uint32_t frameCounter;  // incremented once at the end of every update
  float headPosition[3];       // stage space, or local space without a stage
  float headOrientation[4];
  std::uint8_t headValid;  // set once the head was located; never reset
  std::uint8_t reserved0[3];
  PoseBlock left;
  PoseBlock right;
  float leftTrigger;
  float leftGrip;
  float rightTrigger;
  float rightGrip;
  float leftThumbstick[2];
  float rightThumbstick[2];
  std::uint8_t buttonA;
  std::uint8_t buttonB;
  std::uint8_t buttonX;
  std::uint8_t buttonY;
  std::uint8_t leftThumbstickClick;
  std::uint8_t rightThumbstickClick;
  std::uint8_t leftTriggerClick;
  std::uint8_t rightTriggerClick;
  std::uint8_t leftGripClick;
  std::uint8_t rightGripClick;
  std::uint8_t menu;
  std::uint8_t reserved1;
};

inline constexpr std::size_t kInputRecordSize = 64;
inline constexpr std::size_t kStateRecordSize = 144;

static_assert(sizeof(float) == 4);
static_assert(sizeof(InputRecord) == kInputRecordSize);
static_assert(offsetof(InputRecord, sequence) == 0);
static_assert(offsetof(InputRecord, leftActive) == 4);
static_assert(offsetof(InputRecord, leftX) == 8);
static_assert(offsetof(InputRecord, leftY) == 12);
static_assert(offsetof(InputRecord, rightActive) == 16);
static_assert(offsetof(InputRecord, rightX) == 20);
static_assert(offsetof(InputRecord, rightY) == 24);
static_assert(offsetof(InputRecord, reserved2) == 28);
static_assert(offsetof(InputRecord, leftButtons) == 32);
static_assert(offsetof(InputRecord, rightButtons) == 40);
static_assert(offsetof(InputRecord, leftConfirm) == 48);
static_assert(offsetof(InputRecord, rightConfirm) == 56);

static_assert(sizeof(PoseBlock) == 32);
static_assert(offsetof(PoseBlock, position) == 0);
static_assert(offsetof(PoseBlock, orientation) == 12);
static_assert(offsetof(PoseBlock, valid) == 28);

static_assert(sizeof(StateRecord) == kStateRecordSize);
static_assert(offsetof(StateRecord, frameCounter) == 0);
static_assert(offsetof(StateRecord, headPosition) == 4);
static_assert(offsetof(StateRecord, headOrientation) == 16);
static_assert(offsetof(StateRecord, headValid) == 32);
static_assert(offsetof(StateRecord, left) == 36);
static_assert(offsetof(StateRecord, right) == 68);
static_assert(offsetof(StateRecord, leftTrigger) == 100);
static_assert(offsetof(StateRecord, leftGrip) == 104);
static_assert(offsetof(StateRecord, rightTrigger) == 108);
static_assert(offsetof(StateRecord, rightGrip) == 112);
static_assert(offsetof(StateRecord, leftThumbstick) == 116);
static_assert(offsetof(StateRecord, rightThumbstick) == 124);
static_assert(offsetof(StateRecord, buttonA) == 132);
static_assert(offsetof(StateRecord, buttonB) == 133);
static_assert(offsetof(StateRecord, buttonX) == 134);
static_assert(offsetof(StateRecord, buttonY) == 135);
static_assert(offsetof(StateRecord, leftThumbstickClick) == 136);
static_assert(offsetof(StateRecord, rightThumbstickClick) == 137);
static_assert(offsetof(StateRecord, leftTriggerClick) == 138);
static_assert(offsetof(StateRecord, rightTriggerClick) == 139);
static_assert(offsetof(StateRecord, leftGripClick) == 140);
static_assert(offsetof(StateRecord, rightGripClick) == 141);
static_assert(offsetof(StateRecord, menu) == 142);

// A button counts as held on a hand only when set in both its mask and confirm mask.
inline bool leftHeld(const InputRecord& record, std::uint64_t bit) {
  return (record.leftButtons & bit) != 0 && (record.leftConfirm & bit) != 0;
}
inline bool rightHeld(const InputRecord& record, std::uint64_t bit) {
  return (record.rightButtons & bit) != 0 && (record.rightConfirm & bit) != 0;
}

}  // namespace xrshm
