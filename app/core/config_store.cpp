#include "app/core/config_store.h"

#include <algorithm>
#include <utility>

namespace core {

ConfigStore::Subscription::Subscription(Subscription&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)), id_(std::exchange(other.id_, 0)) {}

ConfigStore::Subscription& ConfigStore::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    reset();
    store_ = std::exchange(other.store_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

ConfigStore::Subscription::~Subscription() { reset(); }

void ConfigStore::Subscription::reset() {
  if (store_) store_->unsubscribe(id_);
  store_ = nullptr;
  id_ = 0;
}

ConfigStore::ConfigStore(Config initial) : current_(std::make_shared<const Config>(std::move(initial))) {}

ConfigStore::~ConfigStore() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ConfigStore::publish(Config next) {
  std::unique_lock lock(mutex_);
  publishLocked(std::move(next), lock);
}

void ConfigStore::edit(const std::function<void(Config&)>& change) {
  std::unique_lock lock(mutex_);
  Config next = *current_.load(std::memory_order_acquire);
  change(next);
  publishLocked(std::move(next), lock);
}

void ConfigStore::replace(Config next) {
  std::lock_guard lock(mutex_);
  current_.store(std::make_shared<const Config>(std::move(next)), std::memory_order_release);
  version_.fetch_add(1, std::memory_order_release);
}

void ConfigStore::publishLocked(Config next, std::unique_lock<std::mutex>& lock) {
  const unsigned changed = changedSections(*current_.load(std::memory_order_acquire), next);
  if (changed == 0) return;
  current_.store(std::make_shared<const Config>(std::move(next)), std::memory_order_release);
  version_.fetch_add(1, std::memory_order_release);
  const bool heard = std::any_of(entries_.begin(), entries_.end(),
                                 [changed](const std::shared_ptr<Entry>& entry) { return entry->sections & changed; });
  if (!heard) return;
  pending_ |= changed;
  ++published_;
  lock.unlock();
  changed_.notify_all();
}

ConfigStore::Subscription ConfigStore::subscribe(unsigned sections, Listener listener) {
  std::lock_guard lock(mutex_);
  const std::uint64_t id = nextId_++;
  entries_.push_back(std::make_shared<Entry>(Entry{id, sections, std::move(listener)}));
  if (!worker_.joinable()) worker_ = std::thread([this] { deliverLoop(); });
  return Subscription(this, id);
}

void ConfigStore::unsubscribe(std::uint64_t id) {
  std::unique_lock lock(mutex_);
  std::erase_if(entries_, [id](const std::shared_ptr<Entry>& entry) { return entry->id == id; });
  if (std::this_thread::get_id() == worker_.get_id()) return;  // from inside a listener
  changed_.wait(lock, [&] { return deliveringId_ != id; });
}

void ConfigStore::flush() {
  std::unique_lock lock(mutex_);
  if (!worker_.joinable() || std::this_thread::get_id() == worker_.get_id()) return;
  const std::uint64_t target = published_;
  changed_.wait(lock, [&] { return delivered_ >= target || stopping_; });
}

void ConfigStore::deliverLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || pending_ != 0; });
    if (stopping_) return;
    const unsigned sections = std::exchange(pending_, 0u);
    const std::uint64_t upTo = published_;
    const std::vector<std::shared_ptr<Entry>> entries = entries_;
    for (const std::shared_ptr<Entry>& entry : entries) {
      if (!(entry->sections & sections)) continue;
      if (std::find(entries_.begin(), entries_.end(), entry) == entries_.end()) continue;  // unsubscribed meanwhile
      deliveringId_ = entry->id;
      const Snapshot value = current_.load(std::memory_order_acquire);
      lock.unlock();
      try {
        entry->listener(*value);
      } catch (...) {
        // One listener's failure must not end the notices of the others.
      }
      lock.lock();
      deliveringId_ = 0;
      changed_.notify_all();
    }
    delivered_ = upTo;
    changed_.notify_all();
  }
}

}  // namespace core
