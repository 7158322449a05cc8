#include "app/outputs/openxr_input_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/outputs/output_service.h"
#include "testing/support/manual_wait_clock.h"

namespace outputs {
namespace {

using namespace std::chrono_literals;
using testsupport::eventually;
using testsupport::ManualWaitClock;
using xrshm::InputRecord;

// The layer's side of a per-test input record (parallel tests never share one).
struct LayerView {
  explicit LayerView(const char* label) : name(std::string("strivo_test_in_") + label + std::to_string(::getpid())) {
    EXPECT_TRUE(memory.createOrAttach(name, xrshm::kInputRecordSize)) << memory.error();
  }
  ~LayerView() { platform::SharedMemory::removeName(name); }
  InputRecord& operator*() { return *static_cast<InputRecord*>(memory.data()); }
  InputRecord* operator->() { return &**this; }
  std::string name;
  platform::SharedMemory memory;
};

struct Writer {
  explicit Writer(const std::string& name) : writer(out, err, clock, name) {}
  // The stick's hand and the second stage's button.
  void bind(core::Hand hand, core::Hand secondHand = core::Hand::Left, const char* second = "Grip") {
    config.openxr = {hand, {secondHand, second}};
    writer.configure(config);
  }
  OutputConfig config;
  // The release thread holds the clock while it runs: back to two owners means it finished.
  bool releaseFinished() {
    return eventually([&] { return clock.use_count() == 2; });
  }
  std::ostringstream out, err;
  std::shared_ptr<ManualWaitClock> clock = std::make_shared<ManualWaitClock>();
  OpenXRInputWriter writer;
};

TEST(OpenXRInputWriter, OutputServiceSticksAndButtonsLandInTheRecordTheLayerReads) {
  LayerView layer("route");
  layer->leftButtons = layer->rightConfirm = ~0ull;  // left over by an earlier run: wiped on open
  Writer w(layer.name);
  core::Logger logger(nullptr);
  OutputConfig config;
  config.mode = core::OutputMode::OpenXrLayer;
  config.secondStage[slotOf(core::OutputMode::OpenXrLayer)] = {true, 0.8f};
  config.openxr.second = {core::Hand::Right, "Trigger"};
  OutputSet set{};
  set[slotOf(core::OutputMode::OpenXrLayer)] = &w.writer;
  outputs::OutputService service(logger, set, [&] { return &config; });
  service.initialize();
  EXPECT_EQ(w.out.str(), "[OpenXR Out] Shared memory initialized for input injection.\n");
  EXPECT_EQ(layer->leftButtons | layer->rightConfirm | layer->sequence, 0u);

  // The engine's y is negative forward; the record's is positive forward.
  service.updateStick(0.25f, -0.5f);
  EXPECT_EQ(layer->leftActive, 1);
  EXPECT_FLOAT_EQ(layer->leftX, 0.25f);
  EXPECT_FLOAT_EQ(layer->leftY, 0.5f);
  EXPECT_EQ(layer->rightActive, 0);
  EXPECT_EQ(layer->sequence, 1u);
  // Beyond the second threshold (80 %) its button is held on its own hand.
  service.updateStick(0.0f, -0.81f);
  EXPECT_TRUE(xrshm::rightHeld(*layer, xrshm::kButtonTrigger));
  EXPECT_EQ(layer->sequence, 3u);
  service.updateStick(0.0f, -0.79f);
  EXPECT_FALSE(xrshm::rightHeld(*layer, xrshm::kButtonTrigger));

  service.setJump(true);
  service.setCrouch(true);
  EXPECT_TRUE(xrshm::leftHeld(*layer, xrshm::kButtonAX));
  EXPECT_TRUE(xrshm::leftHeld(*layer, xrshm::kButtonBY));
  // "X" shares "A"'s bit: the jump's release leaves it down while the second stage
  // holds it; an unknown name changes only the sequence.
  w.bind(core::Hand::Left, core::Hand::Left, "X");
  w.writer.press(Action::SecondStage);
  w.writer.release(Action::Jump);
  EXPECT_EQ(layer->leftButtons, xrshm::kButtonAX | xrshm::kButtonBY);
  w.writer.release(Action::SecondStage);
  EXPECT_EQ(layer->leftButtons, xrshm::kButtonBY);
  const std::uint32_t sequence = layer->sequence;
  w.bind(core::Hand::Left, core::Hand::Left, "Menu");
  w.writer.press(Action::SecondStage);
  EXPECT_EQ(layer->sequence, sequence + 1);
  EXPECT_EQ(layer->leftButtons, layer->leftConfirm);
  EXPECT_EQ(layer->leftButtons, xrshm::kButtonBY);

  // The right hand selects the right half.
  config.openxr.hand = core::Hand::Right;
  service.updateStick(-0.5f, 0.25f);
  EXPECT_FLOAT_EQ(layer->rightX, -0.5f);
  EXPECT_FLOAT_EQ(layer->rightY, -0.25f);
  EXPECT_FLOAT_EQ(layer->leftY, 0.0f);  // the left half was centred when the hand changed
  // Clean-up leaves a released record behind: it outlives the program.
  service.setJump(true);
  const std::uint32_t before = layer->sequence;
  service.cleanup();  // the jump's and the crouch's releases, then the released record
  EXPECT_FALSE(w.writer.isMapped());
  EXPECT_EQ(layer->sequence, before + 3);
  EXPECT_EQ(layer->leftActive + layer->rightActive, 0);
  EXPECT_EQ(layer->leftX + layer->leftY + layer->rightX + layer->rightY, 0.0f);
  EXPECT_EQ(layer->leftButtons | layer->rightButtons | layer->leftConfirm | layer->rightConfirm, 0u);
  w.writer.stick(1.0f, 1.0f);  // closed: changes nothing
  w.writer.keepAlive();
  EXPECT_EQ(layer->rightY, 0.0f);
  EXPECT_EQ(layer->sequence, before + 3);
  EXPECT_EQ(w.err.str(), "");
}

TEST(OpenXRInputWriter, CentringReleasesTheRecordAfterTheDelayUnlessTheLeftStickMoved) {
  LayerView layer("centre");
  Writer w(layer.name);
  ASSERT_TRUE(w.writer.open());

  // Centred: both sticks injected at zero and all buttons released; cleared 150 ms later.
  w.writer.stick(0.3f, 0.9f);
  w.bind(core::Hand::Left, core::Hand::Right);
  w.writer.press(Action::SecondStage);
  w.writer.centre();
  EXPECT_EQ(layer->leftActive + layer->rightActive, 2);
  EXPECT_EQ(layer->leftX + layer->leftY + layer->rightX + layer->rightY, 0.0f);
  EXPECT_EQ(layer->rightButtons | layer->rightConfirm, 0u);
  EXPECT_EQ(layer->sequence, 3u);
  ASSERT_TRUE(w.clock->waitForSleeper(w.clock->now() + OpenXRInputWriter::kReleaseDelay));
  w.clock->advance(OpenXRInputWriter::kReleaseDelay - 1ms);
  EXPECT_EQ(layer->leftActive, 1);  // 149 ms: still injecting
  w.clock->advance(1ms);
  ASSERT_TRUE(w.releaseFinished());
  EXPECT_EQ(layer->sequence, 1u);
  EXPECT_EQ(layer->leftActive + layer->rightActive, 0);

  // A left stick value within the delay keeps the injection running...
  w.writer.centre();
  w.clock->advance(OpenXRInputWriter::kReleaseDelay - 1ms);
  w.writer.stick(0.0f, 0.4f);
  w.clock->advance(1ms);
  ASSERT_TRUE(w.releaseFinished());
  EXPECT_EQ(layer->leftActive, 1);
  EXPECT_FLOAT_EQ(layer->leftY, 0.4f);
  // ...right stick values do not.
  w.writer.centre();
  w.bind(core::Hand::Right);
  w.writer.stick(0.7f, 0.7f);
  w.clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(w.releaseFinished());
  EXPECT_EQ(layer->rightActive, 0);
  EXPECT_EQ(layer->sequence, 1u);
}

TEST(OpenXRInputWriter, PendingReleaseAfterCleanupOrReopenTouchesNothing) {
  LayerView layer("race");
  auto w = std::make_unique<Writer>(layer.name);
  const std::shared_ptr<ManualWaitClock> clock = w->clock;

  // Clean-up and a new open while the release waits: it belongs to the old mapping
  // and leaves the new right-stick input alone.
  ASSERT_TRUE(w->writer.open());
  w->writer.centre();
  w->writer.stop();
  ASSERT_TRUE(w->writer.open());
  w->bind(core::Hand::Right);
  w->writer.stick(0.5f, 0.5f);
  clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(eventually([&] { return clock.use_count() == 3; }));  // this test, Writer, writer
  EXPECT_EQ(layer->rightActive, 1);
  EXPECT_EQ(layer->sequence, 1u);

  // The writer destroyed while its release waits: the release runs later on state
  // it shares ownership of, not on the freed writer, and leaves the record alone.
  w->writer.centre();
  const std::uint32_t centred = layer->sequence;
  w.reset();
  clock->advance(OpenXRInputWriter::kReleaseDelay);
  ASSERT_TRUE(eventually([&] { return clock.use_count() == 1; }));
  EXPECT_EQ(layer->sequence, centred + 1);  // the destructor's released record, untouched since
  EXPECT_EQ(layer->rightActive, 0);
}

TEST(OpenXRInputWriter, KeepAliveStampsOnlyAnActiveRecordAndAReleaseGoesToTheHandThatHolds) {
  LayerView layer("alive");
  Writer w(layer.name);
  ASSERT_TRUE(w.writer.open());
  w.writer.keepAlive();  // nothing injected: the record stands still
  EXPECT_EQ(layer->sequence, 0u);
  w.writer.press(Action::Jump);  // A on the left hand
  w.bind(core::Hand::Right, core::Hand::Right);
  w.writer.press(Action::SecondStage);
  w.writer.release(Action::Jump);  // the hand moved to the right since the press
  EXPECT_EQ(layer->leftButtons | layer->leftConfirm, 0u);
  EXPECT_EQ(layer->rightButtons, xrshm::kButtonGrip);
  const std::uint32_t sequence = layer->sequence;
  w.writer.keepAlive();
  EXPECT_EQ(layer->sequence, sequence + 1);  // a held button is live
}

TEST(OpenXRInputWriter, ASectionThatCannotBeMadeIsReportedAndLeavesTheWriterClosed) {
  Writer w("no/such\\section");  // a slash is not allowed in a section name on either platform
  EXPECT_FALSE(w.writer.open());
  EXPECT_EQ(w.err.str().rfind("[OpenXR Out] Failed to create file mapping (Error: ", 0), 0u) << w.err.str();
  EXPECT_EQ(w.err.str().substr(w.err.str().size() - 3), ").\n");
  w.writer.centre();  // closed: no release is started
  EXPECT_EQ(w.clock.use_count(), 2);
}

}  // namespace
}  // namespace outputs
