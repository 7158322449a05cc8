#include "app/tracking/openxr_hmd_reader.h"

#include <cmath>
#include <cstring>

namespace tracking {

namespace {

constexpr std::string_view kAttached = "[OpenXR HMD] Attached to shared memory. Starting poll thread.";

}  // namespace

OpenXRHmdReader::OpenXRHmdReader(core::Logger& logger, std::shared_ptr<core::WaitClock> clock, std::string sectionName)
    : logger_(logger), sectionName_(std::move(sectionName)), worker_(std::move(clock)) {}

OpenXRHmdReader::~OpenXRHmdReader() { stop(); }

bool OpenXRHmdReader::running() const { return attached_.load(); }

bool OpenXRHmdReader::openSection() {
  if (!memory_.openExistingReadOnly(sectionName_, xrshm::kStateRecordSize)) return false;
  lastCounter_ = 0;
  attached_ = true;
  return true;
}

bool OpenXRHmdReader::attach() {
  std::lock_guard lock(lifecycleMutex_);
  if (attached_) return true;
  worker_.stop();  // still waiting for the section from an earlier start
  const bool opened = openSection();
  if (opened) {
    logger_.write(core::Logger::Line::Out, kAttached);
  } else if (memory_.error().rfind("MapViewOfFile", 0) == 0 || memory_.error().rfind("mmap", 0) == 0) {
    logger_.write(core::Logger::Line::Err, "[OpenXR HMD] MapViewOfFile failed.");
  } else {
    logger_.write(core::Logger::Line::Err,
                  "[OpenXR HMD] Shared memory not found. Is the game running with the OpenXR layer?");
  }
  startThread(opened);
  return opened;
}

void OpenXRHmdReader::startThread(bool attached) {
  // Unattached, the next look is a retry period after the one that failed.
  if (!worker_.start([this](core::WaitClock::TimePoint) { return step(); },
                     attached ? std::chrono::milliseconds(0) : kRetryPeriod)) {
    logger_.write(core::Logger::Line::Err, "[OpenXR HMD] Could not start the poll thread.");
    memory_.close();
    attached_ = false;
  }
}

void OpenXRHmdReader::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!worker_.running()) return;
  worker_.stop();
  if (!attached_) return;  // it was only waiting for the section
  attached_ = false;
  memory_.close();
  logger_.write(core::Logger::Line::Out, "[OpenXR HMD] Stopped.");
}

void OpenXRHmdReader::set_position_callback(tracking::Vec3Callback callback) {
  std::lock_guard lock(callbackMutex_);
  callback_ = std::move(callback);
}

std::chrono::milliseconds OpenXRHmdReader::step() {
  if (!attached_) {
    if (!openSection()) return kRetryPeriod;
    logger_.write(core::Logger::Line::Out, kAttached);
  }
  sample();
  return kPollPeriod;
}

void OpenXRHmdReader::sample() {
  // One copy of the record: the layer writes without a lock, so fields may be torn
  // between frames, but never read outside the mapped 144 bytes.
  xrshm::StateRecord record;
  std::memcpy(&record, memory_.data(), sizeof record);
  if (record.frameCounter == lastCounter_) return;
  lastCounter_ = record.frameCounter;
  if (record.headValid != 1) return;
  const float x = record.headPosition[0], y = record.headPosition[1], z = record.headPosition[2];
  // A damaged record is not a head position: the engine only ever sees finite metres.
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
  std::lock_guard lock(callbackMutex_);
  if (callback_) callback_(x, y, z);
}

}  // namespace tracking
