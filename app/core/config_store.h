#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/core/config.h"
#include "platform/hot_path.h"

namespace core {

// Holds the configuration as an immutable snapshot that any thread reads without
// waiting, and tells subscribers when a section they depend on changed.
//
// Writers publish a whole new value; `edit` does that for one change, under the
// store's lock, so two writers never lose each other's change. Notices are
// delivered on the store's own thread (started by the first subscription, joined
// by the destructor), one at a time, with the newest snapshot; several changes in
// a row may arrive as one notice. A subscriber never hears of a change made before
// it subscribed.
class ConfigStore {
 public:
  using Snapshot = std::shared_ptr<const Config>;
  using Listener = std::function<void(const Config&)>;

  // Ends its subscription when destroyed; once that returns the listener is not
  // running and will not be called again (unless destroyed from the listener itself).
  class Subscription {
   public:
    Subscription() = default;
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription();
    void reset();

   private:
    friend class ConfigStore;
    Subscription(ConfigStore* store, std::uint64_t id) : store_(store), id_(id) {}
    ConfigStore* store_ = nullptr;
    std::uint64_t id_ = 0;
  };

  ConfigStore() : ConfigStore(Config{}) {}
  explicit ConfigStore(Config initial);
  ~ConfigStore();
  ConfigStore(const ConfigStore&) = delete;
  ConfigStore& operator=(const ConfigStore&) = delete;

  Snapshot snapshot() const { return current_.load(std::memory_order_acquire); }

  // One reader's snapshot, taken again only when the value has changed since: on a
  // sample path this costs one atomic load where a snapshot() costs a locked
  // reference count. For one thread at a time.
  class Reader {
   public:
    explicit Reader(const ConfigStore& store) : store_(store) {}
    const Config& latest() {
      renew();
      return *snapshot_;
    }
    // Takes the snapshot again when the value changed since the last call (or on the
    // first); true when it did.
    STRIVO_HOT_PATH bool renew() {
      const std::uint64_t version = store_.version_.load(std::memory_order_acquire);
      if (snapshot_ && version == version_) return false;
      snapshot_ = store_.snapshot();  // this version's value or a newer one
      version_ = version;
      return true;
    }

   private:
    const ConfigStore& store_;
    Snapshot snapshot_;
    std::uint64_t version_ = 0;
  };

  // Publishes `next`; subscribers of the sections that differ are told.
  void publish(Config next);
  // Applies `change` to a copy of the current value and publishes the result.
  void edit(const std::function<void(Config&)>& change);
  // Sets the value without telling anyone: the file's values at start-up, read
  // before the services act on them.
  void replace(Config next);

  // `listener` hears of changes in `sections` (ConfigSection bits).
  [[nodiscard]] Subscription subscribe(unsigned sections, Listener listener);

  // Returns once every notice of a change published before the call was delivered.
  void flush();

 private:
  struct Entry {
    std::uint64_t id;
    unsigned sections;
    Listener listener;
  };

  void publishLocked(Config next, std::unique_lock<std::mutex>& lock);
  void unsubscribe(std::uint64_t id);
  void deliverLoop();

  std::atomic<Snapshot> current_;
  std::atomic<std::uint64_t> version_{0};  // counts every change of current_, after it
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Entry>> entries_;
  std::uint64_t nextId_ = 1;
  unsigned pending_ = 0;            // sections changed and not yet delivered
  std::uint64_t published_ = 0;     // changes counted, for flush
  std::uint64_t delivered_ = 0;     // changes whose notices were delivered
  std::uint64_t deliveringId_ = 0;  // the subscriber being called, 0 when none
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace core
