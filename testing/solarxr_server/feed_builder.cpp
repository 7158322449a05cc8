#include "testing/solarxr_server/feed_builder.h"

#include <flatbuffers/flatbuffers.h>

#include <cmath>

namespace testsupport::solarxr {
namespace {

using flatbuffers::FlatBufferBuilder;
using flatbuffers::Offset;

constexpr flatbuffers::voffset_t slot(int k) { return static_cast<flatbuffers::voffset_t>(4 + 2 * k); }

struct WireQuat {
  float x, y, z, w;
};
struct WireVec3 {
  float x, y, z;
};

Offset<void> trackerData(FlatBufferBuilder& fbb, const FakeTracker& tracker) {
  Offset<void> info;
  if (tracker.withInfo) {
    Offset<flatbuffers::String> display, custom;
    if (tracker.displayName) display = fbb.CreateString(*tracker.displayName);
    if (tracker.customName) custom = fbb.CreateString(*tracker.customName);
    const auto start = fbb.StartTable();
    if (tracker.displayName) fbb.AddOffset(slot(7), display);
    if (tracker.customName) fbb.AddOffset(slot(8), custom);
    info = Offset<void>(fbb.EndTable(start));
  }
  const auto start = fbb.StartTable();
  if (tracker.withInfo) fbb.AddOffset(slot(1), info);
  if (tracker.rotation) {
    const auto& q = *tracker.rotation;
    const WireQuat wire{q[0], q[1], q[2], q[3]};
    fbb.AddStruct(slot(3), &wire);
  }
  if (tracker.acceleration) {
    const auto& v = *tracker.acceleration;
    const WireVec3 wire{v[0], v[1], v[2]};
    fbb.AddStruct(slot(8), &wire);
  }
  return Offset<void>(fbb.EndTable(start));
}

std::vector<std::uint8_t> finishBundle(FlatBufferBuilder& fbb, std::uint8_t type, Offset<void> message) {
  const auto headerStart = fbb.StartTable();
  fbb.AddOffset(slot(1), message);
  fbb.AddElement<std::uint8_t>(slot(0), type, 0);
  const Offset<void> header(fbb.EndTable(headerStart));
  const auto headers = fbb.CreateVector(&header, 1);
  const auto bundleStart = fbb.StartTable();
  fbb.AddOffset(slot(0), headers);
  fbb.Finish(Offset<void>(fbb.EndTable(bundleStart)));
  return {fbb.GetBufferPointer(), fbb.GetBufferPointer() + fbb.GetSize()};
}

}  // namespace

std::vector<std::uint8_t> buildUpdate(const std::vector<FakeDevice>& devices) {
  FlatBufferBuilder fbb;
  std::vector<Offset<void>> deviceTables;
  for (const FakeDevice& device : devices) {
    std::vector<Offset<void>> trackers;
    for (const FakeTracker& tracker : device) trackers.push_back(trackerData(fbb, tracker));
    const auto trackerVector = fbb.CreateVector(trackers);
    const auto start = fbb.StartTable();
    fbb.AddOffset(slot(4), trackerVector);
    deviceTables.push_back(Offset<void>(fbb.EndTable(start)));
  }
  const auto deviceVector = fbb.CreateVector(deviceTables);
  const auto start = fbb.StartTable();
  fbb.AddOffset(slot(0), deviceVector);
  return finishBundle(fbb, 3, Offset<void>(fbb.EndTable(start)));
}

std::vector<std::uint8_t> buildOtherMessage(std::uint8_t type) {
  FlatBufferBuilder fbb;
  const auto start = fbb.StartTable();
  return finishBundle(fbb, type, Offset<void>(fbb.EndTable(start)));
}

std::array<float, 4> pitchQuaternion(float degrees) {
  const float half = degrees * 3.14159265f / 360.0f;
  return {std::sin(half), 0.0f, 0.0f, std::cos(half)};
}

}  // namespace testsupport::solarxr
