#include "app/core/config_store.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using core::Config;
using core::ConfigStore;

// What one subscriber heard: how often, the last value, and on which thread.
struct Heard {
  int notices = 0;
  Config last;
  std::thread::id thread;
};

ConfigStore::Subscription listen(ConfigStore& store, Heard& heard) {
  return store.subscribe(core::kProgramSection, [&heard](const Config& config) {
    ++heard.notices;
    heard.last = config;
    heard.thread = std::this_thread::get_id();
  });
}

TEST(ConfigStore, NoticesCarryTheNewValueOffThePublishersThreadAndOnlyForRealChanges) {
  ConfigStore store;
  Heard heard;
  store.replace([] {
    Config loaded;
    loaded.program.audio_volume = 0.75f;
    return loaded;
  }());
  ConfigStore::Subscription subscription = listen(store, heard);
  store.flush();
  EXPECT_EQ(heard.notices, 0) << "the value set before anyone listened is not a change";
  EXPECT_EQ(store.snapshot()->program.audio_volume, 0.75f);

  store.edit([](Config& c) { c.program.bind_steamvr_toggle = true; });
  store.flush();
  EXPECT_EQ(heard.notices, 1);
  EXPECT_TRUE(heard.last.program.bind_steamvr_toggle);
  EXPECT_EQ(heard.last.program.audio_volume, 0.75f) << "an edit keeps the other fields";
  EXPECT_NE(heard.thread, std::this_thread::get_id());

  store.edit([](Config& c) { c.program.bind_steamvr_toggle = true; });
  store.publish(*store.snapshot());
  store.replace(Config{});
  store.flush();
  EXPECT_EQ(heard.notices, 1) << "an unchanged value and a replace tell no one";

  subscription.reset();
  store.edit([](Config& c) { c.program.debug_mode = false; });
  store.flush();
  EXPECT_EQ(heard.notices, 1) << "nothing after the subscription ended";
}

TEST(ConfigStore, EditsFromSeveralThreadsAreNeverLostAndReadersSeeWholeValues) {
  ConfigStore store;
  constexpr int kEdits = 2000;
  // Each writer counts in its own field; a reader checks that the two sections'
  // fields it reads come from one value (the volume mirrors the axis).
  auto writer = [&store](bool first) {
    for (int i = 0; i < kEdits; ++i)
      store.edit([first](Config& c) {
        if (first) {
          ++c.program.slimevr_tap_axis;
          c.program.audio_volume = static_cast<float>(c.program.slimevr_tap_axis);
        } else {
          ++c.program.steamvr_toggle_hand;
        }
      });
  };
  store.edit([](Config& c) { c.program.audio_volume = static_cast<float>(c.program.slimevr_tap_axis); });
  bool torn = false;
  ConfigStore::Reader cached(store);
  std::thread reader([&] {
    for (int i = 0; i < kEdits; ++i) {
      const ConfigStore::Snapshot value = store.snapshot();
      torn = torn || value->program.audio_volume != static_cast<float>(value->program.slimevr_tap_axis);
      const Config& renewed = cached.latest();
      torn = torn || renewed.program.audio_volume != static_cast<float>(renewed.program.slimevr_tap_axis);
    }
  });
  std::thread a(writer, true), b(writer, false);
  a.join();
  b.join();
  reader.join();
  EXPECT_FALSE(torn);
  EXPECT_EQ(store.snapshot()->program.slimevr_tap_axis, Config{}.program.slimevr_tap_axis + kEdits);
  EXPECT_EQ(store.snapshot()->program.steamvr_toggle_hand, kEdits);
  EXPECT_EQ(cached.latest(), *store.snapshot());  // a reader that fell behind catches up
}

// A sample path's reader takes a new snapshot only when the value changed: after an
// edit that changed something, or a replace; never after an edit that changed nothing.
TEST(ConfigStore, AReaderRenewsOnlyAfterAChange) {
  ConfigStore store;
  ConfigStore::Reader reader(store);
  EXPECT_TRUE(reader.renew());  // the first read
  EXPECT_FALSE(reader.renew());
  store.edit([](Config& c) { c.program.audio_volume = 0.25f; });
  store.edit([](Config& c) { c.program.audio_volume = 0.5f; });
  EXPECT_TRUE(reader.renew());
  EXPECT_EQ(reader.latest().program.audio_volume, 0.5f);
  store.edit([](Config& c) { c.program.audio_volume = 0.5f; });
  EXPECT_FALSE(reader.renew());
  Config fromFile;
  fromFile.program.audio_volume = 0.75f;
  store.replace(fromFile);
  EXPECT_TRUE(reader.renew());
  EXPECT_EQ(reader.latest().program.audio_volume, 0.75f);
}

}  // namespace
