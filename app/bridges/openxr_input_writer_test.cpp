#include "app/bridges/openxr_input_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/outputs/output_service.h"
#include "testing/support/manual_wait_clock.h"

namespace bridges {
namespace {

using namespace std::chrono_literals;
using testsupport::eventually;
using testsupport::ManualWaitClock;

// A per-test section name, so parallel tests never share a record.
std::string sectionName(const char* label) {
  return std::string("strivo_test_in_") + label + "_" + std::to_string(::getpid());
}

// The layer's side of the input record: it attaches to the same section and reads it.
struct LayerView {
  explicit LayerView(const std::string& name) : name_(name) {
    EXPECT_TRUE(memory.createOrAttach(name, xrshm::kInputRecordSize)) << memory.error();
  }
  ~LayerView() { platform::SharedMemory::removeName(name_); }
  const xrshm::InputRecord& operator*() const { return *static_cast<const xrshm::InputRecord*>(memory.data()); }
  const xrshm::InputRecord* operator->() const { return &**this; }
  xrshm::InputRecord& mutableRecord() { return *static_cast<xrshm::InputRecord*>(memory.data()); }
  std::string name_;
  platform::SharedMemory memory;
};

TEST(OpenXRInputWriter, OutputServiceSticksAndButtonsLandInTheRecordTheLayerReads) {
  const std::string name = sectionName("route");
  LayerView layer(name);
  // What a running layer or an earlier run left behind is wiped when the program opens the record.
  layer.mutableRecord().leftButtons = layer.mutableRecord().rightConfirm = ~0ull;
  layer.mutableRecord().sequence = 77;

  std::ostringstream out, err;
  auto clock = std::make_shared<ManualWaitClock>();
  OpenXRInputWriter writer(out, err, clock, name);
  core::Settings settings;
  core::Logger logger(nullptr);
  settings.mode.set("OpenXR API Layer");
  settings.target_controller.set("Left");
  settings.enable_openxr_s2 = true;
  settings.openxr_threshold_2 = 80.0f;
  settings.openxr_button_2.set("Right: Trigger");
  outputs::OutputService service(settings, logger, outputs::Backends{.openxr = &writer});

  // Operations before the record is open change nothing.
  writer.setStick("L", 1.0f, 1.0f);
  EXPECT_EQ(layer->leftButtons, ~0ull);
  service.initialize();
  EXPECT_EQ(out.str(), "[OpenXR Out] Shared memory initialized for input injection.\n");
  EXPECT_EQ(layer->sequence, 0u);
  EXPECT_EQ(layer->leftButtons | layer->rightConfirm, 0u);

  // The engine's y is negative forward; the record's is positive forward.
  service.updateStick(0.25f, -0.5f);
  EXPECT_EQ(layer->leftActive, 1);
  EXPECT_FLOAT_EQ(layer->leftX, 0.25f);
  EXPECT_FLOAT_EQ(layer->leftY, 0.5f);
  EXPECT_EQ(layer->rightActive, 0);
  EXPECT_EQ(layer->sequence, 1u);

  // Past the second threshold the configured button is held on its own hand, on every sample.
  service.updateStick(0.0f, -0.81f);
  EXPECT_TRUE(xrshm::rightHeld(*layer, xrshm::kButtonTrigger));
  EXPECT_EQ(layer->sequence, 3u);
  service.updateStick(0.0f, -0.79f);
  EXPECT_FALSE(xrshm::rightHeld(*layer, xrshm::kButtonTrigger));

  service.setJump(true);
  service.setCrouch(true);
  EXPECT_TRUE(xrshm::leftHeld(*layer, xrshm::kButtonAX));
  EXPECT_TRUE(xrshm::leftHeld(*layer, xrshm::kButtonBY));
  EXPECT_EQ(layer->leftButtons, layer->leftConfirm);
  // "X" shares "A"'s bit: releasing it releases the jump too.
  writer.setButton("L", "X", false);
  EXPECT_FALSE(xrshm::leftHeld(*layer, xrshm::kButtonAX));
  // A name outside the table changes only the sequence.
  const xrshm::InputRecord before = *layer;
  writer.setButton("L", "Menu", true);
  EXPECT_EQ(layer->sequence, before.sequence + 1);
  EXPECT_EQ(layer->leftButtons, before.leftButtons);
  EXPECT_EQ(layer->rightButtons, before.rightButtons);
  writer.setButton("L", "Thumbstick Click", true);
  writer.setButton("L", "Grip", true);
  EXPECT_EQ(layer->leftButtons, xrshm::kButtonBY | xrshm::kButtonThumbstickClick | xrshm::kButtonGrip);

  // "Right" and an empty target both select the right half.
  for (const char* target : {"Right", ""}) {
    settings.target_controller.set(target);
    service.updateStick(-0.5f, 0.25f);
    EXPECT_FLOAT_EQ(layer->rightX, -0.5f);
    EXPECT_FLOAT_EQ(layer->rightY, -0.25f);
    EXPECT_FLOAT_EQ(layer->leftX, 0.0f);
  }

  service.cleanup();
  EXPECT_FALSE(writer.isMapped());
  EXPECT_EQ(err.str(), "");
}

TEST(OpenXRInputWriter, CentringReleasesTheRecordAfterTheDelayUnlessTheLeftStickMoved) {
  const std::string name = sectionName("centre");
  LayerView layer(name);
  std::ostringstream out, err;
  auto clock = std::make_shared<ManualWaitClock>();
  OpenXRInputWriter writer(out, err, clock, name);
  ASSERT_TRUE(writer.open());
  const auto releaseDone = [&] { return eventually([&] { return clock.use_count() == 2; }); };

  // Centred: both sticks injected at zero, all buttons released; cleared 150 ms later.
  writer.setStick("L", 0.3f, 0.9f);
  writer.setButton("R", "Grip", true);
  const auto centredAt = clock->now();
  writer.center();
  EXPECT_EQ(layer->leftActive + layer->rightActive, 2);
  EXPECT_EQ(layer->leftX + layer->leftY + layer->rightX + layer->rightY, 0.0f);
  EXPECT_EQ(layer->rightButtons | layer->rightConfirm, 0u);
  EXPECT_EQ(layer->sequence, 3u);
  ASSERT_TRUE(clock->waitForSleeper(centredAt + OpenXRInputWriter::kReleaseDelay));
  clock->advance(OpenXRInputWriter::kReleaseDelay - 1ms);
  EXPECT_EQ(layer->leftActive, 1);  // 149 ms: still injecting
  clock->advance(1ms);
  ASSERT_TRUE(releaseDone());
  EXPECT_EQ(layer->sequence, 1u);
  EXPECT_EQ(layer->leftActive + layer->rightActive, 0);

  // A left stick value within the delay keeps the injection running.
  writer.center();
  clock->advance(OpenXRInputWriter::kReleaseDelay - 1ms);
  writer.setStick("L", 0.0f, 0.4f);
  clock->advance(1ms);
  ASSERT_TRUE(releaseDone());
  EXPECT_EQ(layer->leftActive, 1);
  EXPECT_FLOAT_EQ(layer->leftY, 0.4f);

  // Only the left stick counts: right stick values do not prevent the release.
  writer.center();
  writer.setStick("R", 0.7f, 0.7f);
  clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(releaseDone());
  EXPECT_EQ(layer->rightActive, 0);
  EXPECT_EQ(layer->sequence, 1u);
}

TEST(OpenXRInputWriter, PendingReleaseAfterCleanupOrReopenTouchesNothing) {
  const std::string name = sectionName("race");
  LayerView layer(name);
  std::ostringstream out, err;
  auto clock = std::make_shared<ManualWaitClock>();

  // Clean-up, a new open and new right-stick input while the release waits: the
  // release belongs to the old mapping and leaves the new input alone.
  auto writer = std::make_unique<OpenXRInputWriter>(out, err, clock, name);
  ASSERT_TRUE(writer->open());
  writer->center();
  writer->cleanup();
  ASSERT_TRUE(writer->open());
  writer->setStick("R", 0.5f, 0.5f);
  clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(eventually([&] { return clock.use_count() == 2; }));
  EXPECT_EQ(layer->rightActive, 1);
  EXPECT_EQ(layer->sequence, 1u);

  // The writer destroyed while its release still waits: the release runs later on
  // state it shares, not on the freed writer, and leaves the record as it was.
  writer->center();
  const xrshm::InputRecord centred = *layer;
  writer.reset();
  clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(eventually([&] { return clock.use_count() == 1; }));
  EXPECT_EQ(layer->sequence, centred.sequence);
  EXPECT_EQ(layer->rightActive, 1);
}

TEST(OpenXRInputWriter, ASectionThatCannotBeMadeIsReportedAndLeavesTheWriterClosed) {
  std::ostringstream out, err;
  // A name with a slash inside is not a valid section name on either platform.
  OpenXRInputWriter writer(out, err, std::make_shared<ManualWaitClock>(), "no/such\\section");
  EXPECT_FALSE(writer.open());
  EXPECT_FALSE(writer.isMapped());
  EXPECT_EQ(err.str().rfind("[OpenXR Out] Failed to create file mapping (Error: ", 0), 0u) << err.str();
  EXPECT_EQ(err.str().substr(err.str().size() - 3), ").\n");
  writer.center();  // closed: nothing happens, no release is started
  writer.setButton("L", "A", true);
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace bridges
