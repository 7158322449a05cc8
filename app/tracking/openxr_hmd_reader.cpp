#include "app/tracking/openxr_hmd_reader.h"

#include <cmath>
#include <cstring>
#include <system_error>

namespace tracking {

OpenXRHmdReader::OpenXRHmdReader(std::ostream& out, std::ostream& err, std::shared_ptr<core::WaitClock> clock,
                                 std::string sectionName)
    : out_(out), err_(err), clock_(std::move(clock)), sectionName_(std::move(sectionName)) {}

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
  if (thread_.joinable()) {  // still waiting for the section from an earlier start
    thread_.request_stop();
    thread_.join();
  }
  const bool opened = openSection();
  if (opened) {
    out_ << "[OpenXR HMD] Attached to shared memory. Starting poll thread." << std::endl;
  } else if (memory_.error().rfind("MapViewOfFile", 0) == 0 || memory_.error().rfind("mmap", 0) == 0) {
    err_ << "[OpenXR HMD] MapViewOfFile failed." << std::endl;
  } else {
    err_ << "[OpenXR HMD] Shared memory not found. Is the game running with the OpenXR layer?" << std::endl;
  }
  startThread(opened);
  return opened;
}

void OpenXRHmdReader::startThread(bool attached) {
  try {
    thread_ = std::jthread([this, attached](std::stop_token stop) { run(stop, attached); });
  } catch (const std::system_error& error) {
    err_ << "[OpenXR HMD] Could not start the poll thread: " << error.what() << std::endl;
    memory_.close();
    attached_ = false;
  }
}

void OpenXRHmdReader::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
  if (!attached_) return;  // it was only waiting for the section
  attached_ = false;
  memory_.close();
  out_ << "[OpenXR HMD] Stopped." << std::endl;
}

void OpenXRHmdReader::set_position_callback(tracking::Vec3Callback callback) {
  std::lock_guard lock(callbackMutex_);
  callback_ = std::move(callback);
}

void OpenXRHmdReader::run(std::stop_token stop, bool attached) {
  while (!attached) {
    if (!clock_->sleepUntil(clock_->now() + kRetryPeriod, stop)) return;
    attached = openSection();
    if (attached) out_ << "[OpenXR HMD] Attached to shared memory. Starting poll thread." << std::endl;
  }
  while (!stop.stop_requested()) {
    const core::WaitClock::TimePoint started = clock_->now();
    sample();
    if (!clock_->sleepUntil(started + kPollPeriod, stop)) break;
  }
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
