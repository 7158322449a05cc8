#include "app/tracking/osc_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/tracking/osc_test_bytes.h"

namespace tracking::osc {
namespace {

using namespace testbytes;

Bytes cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}
Bytes nested(int depth, const Bytes& inner) {
  Bytes out = inner;
  for (int i = 0; i < depth; ++i) out = bundle({out});
  return out;
}

// Every event as one line: "<address> [f, f, ...]" or "not OSC <size> bytes".
struct Recorder final : PacketSink {
  std::vector<std::string> events;
  void message(std::string_view address, std::span<const float> floats) override {
    std::ostringstream line;
    line << address << " [";
    for (std::size_t i = 0; i < floats.size(); ++i) line << (i ? ", " : "") << floats[i];
    line << "]";
    events.push_back(line.str());
  }
  void notOsc(std::span<const std::byte> packet) override {
    events.push_back("not OSC " + std::to_string(packet.size()) + " bytes");
  }
};

struct Case {
  const char* name;
  Bytes datagram;
  std::vector<std::string> expected;
};

TEST(OscDecoder, DecodesWhatFitsAndDropsTheRestWithoutReadingPastTheDatagram) {
  const Bytes rotation = msg("/tracking/trackers/1/rotation", ",fff", {f32(10), f32(-20.5f), f32(30)});
  const Bytes position = msg("/tracking/trackers/1/position", ",fff", {f32(0.25f), f32(1.5f), f32(-2)});
  // 2048 bytes exactly: a 2040-byte padded address, the tags and one float.
  const std::string longAddress = "/" + std::string(2038, 'a');
  const Bytes at2048 = msg(longAddress, ",f", {f32(7)});
  // A SlimeVR-style bundle of 80 trackers: over 4 KB, read whole.
  Bytes big = cat({padded("#bundle"), u32(0), u32(1)});
  for (int id = 0; id < 80; ++id)
    big = cat({big, element(msg("/tracking/trackers/" + std::to_string(id) + "/rotation", ",fff",
                                {f32(static_cast<float>(id)), f32(0), f32(0)}))});
  std::vector<std::string> bigExpected;
  for (int id = 0; id < 80; ++id)
    bigExpected.push_back("/tracking/trackers/" + std::to_string(id) + "/rotation [" + std::to_string(id) + ", 0, 0]");
  Bytes lyingSize = bundle({rotation});
  lyingSize[16] = std::byte{0xFF};  // the element claims about 4 GB

  const std::vector<Case> cases = {
      {"three floats", rotation, {"/tracking/trackers/1/rotation [10, -20.5, 30]"}},
      {"four floats",
       msg("/tracking/trackers/1/rotation", ",ffff", {f32(0), f32(0), f32(0.5f), f32(1)}),
       {"/tracking/trackers/1/rotation [0, 0, 0.5, 1]"}},
      {"integer skipped", msg("/a", ",if", {u32(99), f32(4)}), {"/a [4]"}},
      {"string argument", msg("/a", ",s", {padded("hello")}), {"/a []"}},
      {"no type tags at all", padded("/user/yaw_reset"), {}},
      {"empty tag text", msg("/user/yaw_reset", ","), {"/user/yaw_reset []"}},
      {"arguments end after the second float",
       cut(rotation, rotation.size() - 2),
       {"/tracking/trackers/1/rotation [10, -20.5]"}},
      {"tags without any arguments", msg("/a", ",fffi"), {"/a []"}},
      {"integer running past the end", cut(msg("/a", ",if", {u32(1), f32(2)}), 10), {"/a []"}},
      {"address without its zero byte", raw("/tracking/trackers/1/rotation"), {}},
      {"type tags without their zero byte", cat({padded("/a"), raw(",fff")}), {}},
      {"no comma at the tag offset", cat({padded("/a"), padded("fff"), f32(1)}), {}},
      {"tag offset at the end", padded("/abc"), {}},
      {"3 bytes", raw("/ab"), {}},
      {"10 binary bytes", Bytes(10, std::byte{0x01}), {"not OSC 10 bytes"}},
      {"bundle of two messages in order",
       bundle({rotation, position}),
       {"/tracking/trackers/1/rotation [10, -20.5, 30]", "/tracking/trackers/1/position [0.25, 1.5, -2]"}},
      {"bundle of 16 bytes", cut(bundle({}), 16), {}},
      {"element running past the end",
       cut(bundle({position, rotation}), bundle({position, rotation}).size() - 1),
       {"/tracking/trackers/1/position [0.25, 1.5, -2]"}},
      {"element claiming 4 GB", lyingSize, {}},
      {"elements shorter than 4 bytes are skipped",
       bundle({raw("/a"), Bytes{}, position}),
       {"/tracking/trackers/1/position [0.25, 1.5, -2]"}},
      {"binary element inside a bundle",
       bundle({Bytes(6, std::byte{0xAB}), position}),
       {"not OSC 6 bytes", "/tracking/trackers/1/position [0.25, 1.5, -2]"}},
      {"bundle text without the bundle", cat({padded("#bundl"), padded(",f"), f32(3)}), {"#bundl [3]"}},
      {"nested as deep as allowed",
       nested(kMaxBundleDepth, position),
       {"/tracking/trackers/1/position [0.25, 1.5, -2]"}},
      {"nested one level too deep", nested(kMaxBundleDepth + 1, position), {}},
      {"2048-byte message", at2048, {longAddress + " [7]"}},
      {"bundle over 4 KB", big, bigExpected},
  };
  ASSERT_EQ(at2048.size(), 2048u);
  ASSERT_GT(big.size(), 4096u);
  for (const Case& c : cases) {
    // A copy of exactly the datagram's size, so a read beyond it is an error the
    // sanitizers and the allocator can see.
    const auto copy = std::make_unique<std::byte[]>(c.datagram.size());
    std::copy(c.datagram.begin(), c.datagram.end(), copy.get());
    Recorder recorder;
    decodePacket(std::span<const std::byte>(copy.get(), c.datagram.size()), recorder);
    EXPECT_EQ(recorder.events, c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tracking::osc
