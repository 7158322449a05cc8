#include "testing/uinput_stand_in/uinput_stand_in.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

namespace testsupport {

namespace {

constexpr const char* kDevice = "/dev/uinput";
// A misc character device, as the kernel's uinput node is (major 10, minor 223).
constexpr const char* kDeviceDescription =
    "P: /devices/virtual/misc/uinput\n"
    "N: uinput\n"
    "E: DEVNAME=/dev/uinput\n"
    "E: SUBSYSTEM=misc\n"
    "A: dev=10:223\n";

}  // namespace

struct UinputStandIn::State {
  Options options;
  std::string problem;
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;

  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::vector<UinputStep> steps;
  std::map<const void*, int> connectionOf;  // umockdev's client object -> connection number (held)

  // Connections are numbered at their first ioctl or write: umockdev announces a new
  // client on its own thread, possibly after that client's first request. A reference
  // to each client keeps its address from being reused for a later one.
  int connection(UMockdevIoctlClient* client) {
    auto found = connectionOf.find(client);
    if (found != connectionOf.end()) return found->second;
    g_object_ref(client);
    const int number = static_cast<int>(connectionOf.size()) + 1;
    connectionOf[client] = number;
    return number;
  }

  void record(UinputStep step) {
    {
      std::lock_guard lock(mutex);
      steps.push_back(std::move(step));
    }
    changed.notify_all();
  }

  // Copies `size` bytes the ioctl argument points to; false when the client's memory cannot be read.
  static bool pointee(UMockdevIoctlData* arg, void* into, std::size_t size) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (!data) {
      g_clear_error(&error);
      return false;
    }
    const bool whole = data->data_len >= 0 && static_cast<std::size_t>(data->data_len) >= size;
    if (whole) std::memcpy(into, data->data, size);
    return whole;
  }

  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* state = static_cast<State*>(self);
    UinputStep step;
    step.kind = UinputStep::Kind::Ioctl;
    step.request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (arg && arg->data_len > 0)
      std::memcpy(&step.value, arg->data, std::min(sizeof step.value, static_cast<std::size_t>(arg->data_len)));
    bool readable = true;
    if (step.request == UI_DEV_SETUP) readable = pointee(arg, &step.setup, sizeof step.setup);
    if (step.request == UI_ABS_SETUP) readable = pointee(arg, &step.abs, sizeof step.abs);
    {
      std::lock_guard lock(state->mutex);
      step.connection = state->connection(client);
    }
    int error = readable ? 0 : EFAULT;
    if (step.request == UI_DEV_CREATE && state->options.refuseCreateWith != 0) error = state->options.refuseCreateWith;
    state->record(std::move(step));
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    return TRUE;
  }

  static gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* state = static_cast<State*>(self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t size = arg && arg->data_len > 0 ? static_cast<std::size_t>(arg->data_len) : 0;
    UinputStep step;
    step.kind = UinputStep::Kind::Write;
    const std::size_t whole = size / sizeof(input_event);
    step.events.resize(whole);
    if (whole) std::memcpy(step.events.data(), arg->data, whole * sizeof(input_event));
    step.strayBytes = size - whole * sizeof(input_event);
    {
      std::lock_guard lock(state->mutex);
      step.connection = state->connection(client);
    }
    state->record(std::move(step));
    umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
    return TRUE;
  }
};

UinputStandIn::UinputStandIn(Options options) : state_(std::make_unique<State>()) {
  state_->options = options;
  state_->testbed = umockdev_testbed_new();
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(state_->testbed, kDeviceDescription, &error)) {
    state_->problem = std::string("cannot add the device: ") + (error ? error->message : "unknown error");
    g_clear_error(&error);
    return;
  }
  state_->handler = umockdev_ioctl_base_new();
  g_signal_connect(state_->handler, "handle-ioctl", G_CALLBACK(State::onIoctl), state_.get());
  g_signal_connect(state_->handler, "handle-write", G_CALLBACK(State::onWrite), state_.get());
  if (!umockdev_testbed_attach_ioctl(state_->testbed, kDevice, state_->handler, &error)) {
    state_->problem = std::string("cannot attach the ioctl handler: ") + (error ? error->message : "unknown error");
    g_clear_error(&error);
    return;
  }
  // Reads of the device's terminal side tell whether any descriptor is still open.
  const int terminal = umockdev_testbed_get_dev_fd(state_->testbed, kDevice);
  if (terminal >= 0) ::fcntl(terminal, F_SETFL, ::fcntl(terminal, F_GETFL) | O_NONBLOCK);
}

UinputStandIn::~UinputStandIn() {
  if (state_->testbed) {
    if (state_->handler) umockdev_testbed_detach_ioctl(state_->testbed, kDevice, nullptr);
    g_object_unref(state_->testbed);  // removes the test bed's folder and UMOCKDEV_DIR
  }
  if (state_->handler) g_object_unref(state_->handler);
  for (const auto& [client, number] : state_->connectionOf) g_object_unref(const_cast<void*>(client));
}

std::string UinputStandIn::problem() const {
  if (!state_->problem.empty()) return state_->problem;
  if (!uinputPreloadActive())
    return std::string("umockdev's preload library is not loaded (run with LD_PRELOAD=") + kPreload + ")";
  return {};
}

std::vector<UinputStep> UinputStandIn::steps() const {
  std::lock_guard lock(state_->mutex);
  return state_->steps;
}

std::set<unsigned long> UinputStandIn::values(int connection, unsigned long request) const {
  std::set<unsigned long> found;
  for (const UinputStep& step : steps())
    if (step.kind == UinputStep::Kind::Ioctl && step.connection == connection && step.request == request)
      found.insert(step.value);
  return found;
}

std::vector<input_event> UinputStandIn::events(int connection) const {
  std::vector<input_event> found;
  for (const UinputStep& step : steps())
    if (step.kind == UinputStep::Kind::Write && step.connection == connection)
      found.insert(found.end(), step.events.begin(), step.events.end());
  return found;
}

std::vector<unsigned long> UinputStandIn::requests(int connection) const {
  std::vector<unsigned long> found;
  for (const UinputStep& step : steps())
    if (step.kind == UinputStep::Kind::Ioctl && step.connection == connection) found.push_back(step.request);
  return found;
}

int UinputStandIn::connections() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->connectionOf.size());
}

bool UinputStandIn::allClosed() const {
  if (connections() == 0 || !state_->testbed) return false;
  const int terminal = umockdev_testbed_get_dev_fd(state_->testbed, kDevice);
  if (terminal < 0) return false;
  char byte;
  // The terminal side reads EIO once its last user has closed it; EAGAIN while one is open.
  return ::read(terminal, &byte, 1) < 0 && errno == EIO;
}

bool UinputStandIn::waitFor(const std::function<bool(const std::vector<UinputStep>&)>& done,
                            std::chrono::milliseconds timeout) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, timeout, [&] { return done(state_->steps); });
}

std::map<std::pair<int, int>, int> reportedState(const std::vector<input_event>& events) {
  std::map<std::pair<int, int>, int> reported, pending;
  for (const input_event& event : events) {
    if (event.type == EV_SYN && event.code == SYN_REPORT) {
      for (const auto& [key, value] : pending) reported[key] = value;
      pending.clear();
    } else {
      pending[{event.type, event.code}] = event.value;
    }
  }
  return reported;
}

bool uinputPreloadActive() {
  // A function only umockdev's preload library defines.
  return ::dlsym(RTLD_DEFAULT, "ioctl_tree_new_from_text") != nullptr;
}

}  // namespace testsupport
