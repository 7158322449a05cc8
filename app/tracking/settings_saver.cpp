#include "app/tracking/settings_saver.h"

#include <algorithm>
#include <chrono>

namespace tracking {

void SaveSchedule::request(double now) {
  if (!firstRequest_) firstRequest_ = now;
}

std::optional<double> SaveSchedule::due() const {
  if (!firstRequest_) return std::nullopt;
  const double afterRequest = *firstRequest_ + interval_;
  return lastWrite_ ? std::max(afterRequest, *lastWrite_ + interval_) : afterRequest;
}

bool SaveSchedule::take(double now) {
  const std::optional<double> at = due();
  if (!at || now < *at) return false;
  firstRequest_.reset();
  lastWrite_ = now;
  return true;
}

bool SaveSchedule::takeAll(double now) {
  if (!firstRequest_) return false;
  firstRequest_.reset();
  lastWrite_ = now;
  return true;
}

SettingsSaver::SettingsSaver(Write write, double interval)
    : write_(std::move(write)), schedule_(interval), thread_(&SettingsSaver::threadMain, this) {}

SettingsSaver::~SettingsSaver() { stop(); }

double SettingsSaver::now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SettingsSaver::request() {
  std::unique_lock lock(mutex_);
  if (stopping_) {
    ++writes_;
    lock.unlock();
    if (write_) write_();
    return;
  }
  schedule_.request(now());
  wake_.notify_all();
}

void SettingsSaver::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  bool pending = false;
  {
    std::lock_guard lock(mutex_);
    pending = schedule_.takeAll(now());
    if (pending) ++writes_;
  }
  if (pending && write_) write_();
}

std::size_t SettingsSaver::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void SettingsSaver::threadMain() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const std::optional<double> due = schedule_.due();
    if (!due) {
      wake_.wait(lock);
      continue;
    }
    const double wait = *due - now();
    if (wait > 0) {
      wake_.wait_for(lock, std::chrono::duration<double>(wait));
      continue;
    }
    if (!schedule_.take(now())) continue;
    ++writes_;
    // The file is written without the lock, so requests never wait for the disk.
    lock.unlock();
    if (write_) write_();
    lock.lock();
  }
}

}  // namespace tracking
