#pragma once

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "app/core/wait_clock.h"
#include "app/outputs/backends.h"
#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"

namespace outputs {

// The output behind "OpenXR API Layer": writes sticks and button masks into the
// input record that the OpenXR layer inside the game reads. Nothing is sent; only
// bytes in shared memory change. Every operation holds one writer mutex.
class OpenXRInputWriter final : public outputs::IOpenXRWriterBackend {
 public:
  // How long after centring the record is cleared, unless a left stick value came in.
  static constexpr std::chrono::milliseconds kReleaseDelay{150};

  OpenXRInputWriter(std::ostream& out = std::cout, std::ostream& err = std::cerr,
                    std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock(),
                    std::string sectionName = xrshm::kInputRecordName);
  ~OpenXRInputWriter() override;

  // Creates or attaches to the section and clears it; true when mapped.
  bool open();
  void initialize() override { open(); }
  // Leaves a released record (both hands inactive, no buttons) and unmaps it.
  void cleanup() override;
  // Changes the sequence while anything is injected, so the layer knows the record is live.
  void keepAlive() override;
  // Neutral sticks, released buttons, then the record is cleared after kReleaseDelay
  // on a detached thread that only touches state it shares ownership of.
  void center() override;
  // `hand` "L" selects the left half, anything else the right; y positive forward.
  void setStick(const std::string& hand, float x, float y) override;
  void setButton(const std::string& hand, const std::string& button, bool pressed) override;

  bool isMapped() const;

 private:
  // What the delayed release needs; kept alive by the release thread as well.
  struct Shared {
    std::mutex mutex;
    platform::SharedMemory memory;
    std::uint64_t mapping = 0;       // counts successful opens, so a release never clears a later mapping
    std::uint64_t held[2] = {0, 0};  // the button bits this writer set, left and right
    xrshm::InputRecord* record() { return static_cast<xrshm::InputRecord*>(memory.data()); }
  };
  static void releaseLater(std::shared_ptr<Shared> shared, std::shared_ptr<core::WaitClock> clock,
                           std::uint64_t mapping, core::WaitClock::TimePoint deadline);

  std::ostream& out_;
  std::ostream& err_;
  std::shared_ptr<core::WaitClock> clock_;
  std::string sectionName_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace outputs
