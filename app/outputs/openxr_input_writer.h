#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/core/wait_clock.h"
#include "app/outputs/output.h"
#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"

namespace outputs {

// The output behind "OpenXR API Layer": writes sticks and button masks into the
// input record that the OpenXR layer inside the game reads. Nothing is sent; only
// bytes in shared memory change. Jump presses A and crouch B on the stick's hand;
// the second stage its configured button. The hand's letter is written only into
// the record. Every operation holds one writer mutex.
class OpenXRInputWriter final : public IOutput {
 public:
  // How long after centring the record is cleared, unless a left stick value came in.
  static constexpr std::chrono::milliseconds kReleaseDelay{150};

  OpenXRInputWriter(std::ostream& out = std::cout, std::ostream& err = std::cerr,
                    std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock(),
                    std::string sectionName = xrshm::kInputRecordName);
  ~OpenXRInputWriter() override;

  // Creates or attaches to the section and clears it; true when mapped.
  bool open();
  void configure(const OutputConfig& config) override;
  void start() override { open(); }
  // Leaves a released record (both hands inactive, no buttons) and unmaps it.
  void stop() override;
  // Into the configured hand's half; a changed hand centres the record first, so the
  // old hand's half is not left injected.
  void stick(float x, float y) override;
  void press(Action action) override;
  void release(Action action) override;
  // Neutral sticks, released buttons, then the record is cleared after kReleaseDelay
  // on a detached thread that only touches state it shares ownership of.
  void centre() override;
  // Changes the sequence while anything is injected, so the layer knows the record is live.
  void keepAlive() override;

  bool isMapped() const;

 private:
  // One button of one hand's half: side 0 left, 1 right.
  struct Bit {
    int side = 0;
    std::uint64_t bit = 0;
    bool operator==(const Bit&) const = default;
  };
  // What the delayed release needs; kept alive by the release thread as well.
  struct Shared {
    std::mutex mutex;
    platform::SharedMemory memory;
    std::uint64_t mapping = 0;  // counts successful opens, so a release never clears a later mapping
    std::array<std::optional<Bit>, kActionCount> held;  // the bit each action's press set
    xrshm::InputRecord* record() { return static_cast<xrshm::InputRecord*>(memory.data()); }
  };
  Bit bindingOf(Action action) const;
  void writeBit(const Bit& bit, bool pressed);
  static void releaseLater(std::shared_ptr<Shared> shared, std::shared_ptr<core::WaitClock> clock,
                           std::uint64_t mapping, core::WaitClock::TimePoint deadline);

  std::ostream& out_;
  std::ostream& err_;
  std::shared_ptr<core::WaitClock> clock_;
  std::string sectionName_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  // Guarded by shared_->mutex.
  OpenXrConfig config_;
  std::optional<core::Hand> stickHand_;  // the hand of the last stick
};

}  // namespace outputs
