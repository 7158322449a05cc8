// The SolarXR messages: the request read back at its slot numbers, updates built at
// theirs, hostile bytes, and the split of a rotation into tilt and turn.
#include "app/tracking/solarxr_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/core/utf8_text.h"
#include "app/tracking/quaternion_split.h"
#include "testing/solarxr_server/feed_builder.h"
#include "testing/solarxr_server/request_check.h"

namespace tracking::solarxr {
namespace {

using testsupport::solarxr::FakeTracker;

struct Seen {
  std::string name;
  bool nameInside;  // the name lies inside the message (or is the fixed unnamed text)
  bool rotation;
  bool acceleration;
  float values[7];
};

std::vector<Seen> decodeAll(const std::vector<std::uint8_t>& message, bool* ok = nullptr) {
  std::vector<Seen> seen;
  const auto* begin = reinterpret_cast<const char*>(message.data());
  const auto* end = begin + message.size();
  const bool result = decodeBundle(message, [&](const TrackerSample& s) {
    // A repaired name is a copy: valid UTF-8 within the length limit.
    const bool repaired = s.name.size() <= kMaxTrackerNameBytes && core::isValidUtf8(s.name);
    const bool inside =
        s.name == kUnnamedTracker || (s.name.data() >= begin && s.name.data() + s.name.size() <= end) || repaired;
    Seen one{std::string(s.name), inside, s.hasRotation, s.hasAcceleration, {}};
    std::memcpy(one.values, s.rotation, sizeof s.rotation);
    std::memcpy(one.values + 4, s.acceleration, sizeof s.acceleration);
    seen.push_back(one);
  });
  if (ok) *ok = result;
  return seen;
}

TEST(SolarXrMessages, RequestIsOneStartDataFeedAtTenMillisecondsWithTheTrackerMask) {
  const std::vector<std::uint8_t> request = buildStartDataFeedRequest();
  EXPECT_EQ(testsupport::solarxr::checkStartDataFeed(request), "");
  // The checker itself rejects a request that differs in one field: the interval.
  std::vector<std::uint8_t> changed = request;
  bool patched = false;
  for (std::size_t i = 0; i + 1 < changed.size() && !patched; ++i) {
    if (changed[i] == kFeedIntervalMs && changed[i + 1] == 0) {
      changed[i] = 11;
      patched = testsupport::solarxr::checkStartDataFeed(changed) == "minimum time since last is not 10";
      changed[i] = static_cast<std::uint8_t>(kFeedIntervalMs);
    }
  }
  EXPECT_TRUE(patched);
  // Our own request is not an update: it decodes to nothing.
  bool ok = false;
  EXPECT_TRUE(decodeAll(request, &ok).empty());
  EXPECT_TRUE(ok);
}

TEST(SolarXrMessages, UpdatesNameEveryTrackerAndCarryItsValuesAcrossDevices) {
  const auto both = FakeTracker().display("Display").custom("Custom").rotated({0.1f, 0.2f, 0.3f, 0.9f});
  const auto displayOnly = FakeTracker().display("Hip").accelerated({1.5f, -2.5f, 9.5f});
  const auto noNames = FakeTracker();
  const auto noInfo = FakeTracker().withoutInfo().rotated({0, 0, 0, 1}).accelerated({0, 0, 1});
  const auto update = testsupport::solarxr::buildUpdate({{both, displayOnly}, {}, {noNames, noInfo}});

  bool ok = false;
  const std::vector<Seen> seen = decodeAll(update, &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].name, "Custom");
  EXPECT_TRUE(seen[0].rotation);
  EXPECT_FALSE(seen[0].acceleration);
  EXPECT_FLOAT_EQ(seen[0].values[1], 0.2f);
  EXPECT_FLOAT_EQ(seen[0].values[3], 0.9f);
  EXPECT_EQ(seen[1].name, "Hip");
  EXPECT_FALSE(seen[1].rotation);
  EXPECT_TRUE(seen[1].acceleration);
  EXPECT_FLOAT_EQ(seen[1].values[4], 1.5f);
  EXPECT_FLOAT_EQ(seen[1].values[6], 9.5f);
  EXPECT_EQ(seen[2].name, kUnnamedTracker);
  EXPECT_FALSE(seen[2].rotation || seen[2].acceleration);
  EXPECT_EQ(seen[3].name, kUnnamedTracker);
  EXPECT_TRUE(seen[3].rotation && seen[3].acceleration);

  // Names arrive as UTF-8 of at most 128 bytes, cut between characters.
  const std::string a127(127, 'a'), e = "\xC3\xA9", r = "\xEF\xBF\xBD";
  std::string replacements;  // as many as fit
  while (replacements.size() + r.size() <= kMaxTrackerNameBytes) replacements += r;
  const std::pair<std::string, std::string> names[] = {{a127 + "b", a127 + "b"},
                                                       {a127 + "bc", a127 + "b"},
                                                       {a127 + e, a127},
                                                       {"Hip \xFF", "Hip " + r},
                                                       {std::string(5000, '\xFF'), replacements}};
  for (const auto& [sent, delivered] : names)
    EXPECT_EQ(decodeAll(testsupport::solarxr::buildUpdate({{FakeTracker().custom(sent)}})).at(0).name, delivered);

  // Feed messages of other kinds are skipped without failing the bundle.
  for (std::uint8_t type : {0, 1, 2, 9}) {
    EXPECT_TRUE(decodeAll(testsupport::solarxr::buildOtherMessage(type), &ok).empty()) << int(type);
    EXPECT_TRUE(ok) << int(type);
  }
}

TEST(SolarXrMessages, ShortLyingAndRandomBytesDeliverNothingFromOutsideTheMessage) {
  const auto chest = FakeTracker().display("Chest").rotated({0, 0, 0, 1}).accelerated({1, 2, 3});
  const auto update = testsupport::solarxr::buildUpdate({{chest, chest}});
  bool ok = true;

  // A shorter prefix fails the check as a whole, unless only the builder's end padding
  // was cut; then it delivers just what the whole message does.
  const auto whole = decodeAll(update);
  int prefixesRejected = 0;
  for (std::size_t length = 0; length < update.size(); ++length) {
    const std::vector<std::uint8_t> prefix(update.begin(), update.begin() + length);
    const auto seen = decodeAll(prefix, &ok);
    if (ok) {
      EXPECT_EQ(seen.size(), whole.size()) << length;
      EXPECT_GE(length + 8, update.size()) << length;
    } else {
      EXPECT_TRUE(seen.empty()) << length;
      ++prefixesRejected;
    }
  }
  EXPECT_GE(prefixesRejected + 8, static_cast<int>(update.size()));
  // Offsets and lengths that lie: each aligned word in turn made huge or negative.
  int rejected = 0;
  for (std::size_t at = 0; at + 4 <= update.size(); at += 4) {
    for (std::uint32_t lie : {0x7FFFFFF0u, 0xFFFFFFFCu}) {
      std::vector<std::uint8_t> bad = update;
      std::memcpy(bad.data() + at, &lie, 4);
      for (const Seen& s : decodeAll(bad, &ok)) EXPECT_TRUE(s.nameInside) << at;
      rejected += ok ? 0 : 1;
    }
  }
  EXPECT_GT(rejected, 0);
  // Random bytes, a fixed seed so a failure repeats.
  std::mt19937 random(1234);
  for (int i = 0; i < 2000; ++i) {
    std::vector<std::uint8_t> junk(random() % 512);
    for (auto& byte : junk) byte = static_cast<std::uint8_t>(random());
    for (const Seen& s : decodeAll(junk, &ok)) EXPECT_TRUE(s.nameInside) << i;
  }
}

TEST(QuaternionSplit, SeparatesTurnFromTilt) {
  const float h = 0.70710678f;
  const float s15 = 0.25881905f, c15 = 0.96592583f;
  struct Case {
    const char* what;
    float x, y, z, w;
    float a, b, heading;
  } cases[] = {
      {"identity", 0, 0, 0, 1, 0, 0, 0},
      {"turn 90 about the vertical", 0, h, 0, h, 0, 0, 90},
      {"lean 30 about x", s15, 0, 0, c15, 0, 30, 0},
      {"lean 30 about z", 0, 0, s15, c15, 30, 0, 0},
      // The turn's length threshold (0.0001): just below it the turn is taken as zero...
      {"upside down, turn length 0.00009", 1, 0, 0, 0.00009f, 180, 0, 0},
      // ...just above it the turn is used.
      {"upside down, turn length 0.00011", 1, 0.00011f, 0, 0, 180, 0, 180},
  };
  for (const Case& c : cases) {
    const TurnAndTilt out = splitTurnAndTilt(c.x, c.y, c.z, c.w);
    EXPECT_NEAR(out.a, c.a, 0.02f) << c.what;
    EXPECT_NEAR(out.b, c.b, 0.02f) << c.what;
    EXPECT_NEAR(out.heading, c.heading, 0.02f) << c.what;
  }
}

}  // namespace
}  // namespace tracking::solarxr
