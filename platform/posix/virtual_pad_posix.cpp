#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/posix/uinput_pad_posix.h"
#include "platform/virtual_pad.h"

namespace platform {
namespace uinputpad {

bool writeEvents(int fd, std::span<const padevents::InputEvent> events) {
  if (events.empty()) return true;
  if (events.size() > padevents::kMaxEvents) return false;
  std::array<input_event, padevents::kMaxEvents> raw{};
  for (std::size_t i = 0; i < events.size(); ++i) {
    raw[i] = input_event{};
    raw[i].type = events[i].type;
    raw[i].code = events[i].code;
    raw[i].value = events[i].value;
  }
  const std::size_t total = events.size() * sizeof(input_event);
  const auto* bytes = reinterpret_cast<const char*>(raw.data());
  std::size_t written = 0;
  while (written < total) {
    const ssize_t n = ::write(fd, bytes + written, total - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace uinputpad

namespace {

struct Client {
  std::string path;
  int fd = -1;
};

struct Target {
  Client* client = nullptr;  // the client it is plugged into, or none
  XusbReport last;
  bool sentAny = false;
};

std::uint32_t systemCode(int number) {
  return VirtualPadBus::kErrorSystemBase + static_cast<std::uint32_t>(number & 0xFFFF);
}

// A uinput gamepad with the ids, buttons and axes of a wired Xbox 360 pad.
class UinputPadBus final : public VirtualPadBus {
 public:
  explicit UinputPadBus(std::string path) : path_(std::move(path)) {}

  Handle alloc() override { return new Client{path_}; }

  void free(Handle client) override {
    if (!client) return;
    disconnect(client);
    delete static_cast<Client*>(client);
  }

  std::uint32_t connect(Handle handle) override {
    auto* client = static_cast<Client*>(handle);
    if (!client) return kErrorBusNotFound;
    if (client->fd >= 0) return kErrorNone;
    // No write access to the device is the "bus driver not installed" case.
    client->fd = ::open(client->path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (client->fd >= 0) return kErrorNone;
    lastProblem_ = "cannot open " + client->path + ": " + std::strerror(errno);
    return kErrorBusNotFound;
  }

  void disconnect(Handle handle) override {
    auto* client = static_cast<Client*>(handle);
    if (!client || client->fd < 0) return;
    ::close(client->fd);  // closing the descriptor also removes a device still plugged in
    client->fd = -1;
  }

  Handle targetX360Alloc() override { return new Target; }

  void targetFree(Handle target) override { delete static_cast<Target*>(target); }

  std::uint32_t targetAdd(Handle clientHandle, Handle targetHandle) override {
    auto* client = static_cast<Client*>(clientHandle);
    auto* target = static_cast<Target*>(targetHandle);
    if (!client || !target || client->fd < 0) return kErrorBusNotFound;
    const int fd = client->fd;
    if (::ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ::ioctl(fd, UI_SET_EVBIT, EV_ABS) < 0 ||
        ::ioctl(fd, UI_SET_EVBIT, EV_SYN) < 0)
      return systemError("UI_SET_EVBIT");
    for (const auto& button : padevents::kButtons)
      if (::ioctl(fd, UI_SET_KEYBIT, button.code) < 0) return systemError("UI_SET_KEYBIT");
    for (const auto& axis : padevents::kAxes) {
      if (::ioctl(fd, UI_SET_ABSBIT, axis.code) < 0) return systemError("UI_SET_ABSBIT");
      uinput_abs_setup setup{};
      setup.code = axis.code;
      setup.absinfo.minimum = axis.minimum;
      setup.absinfo.maximum = axis.maximum;
      setup.absinfo.fuzz = axis.fuzz;
      setup.absinfo.flat = axis.flat;
      if (::ioctl(fd, UI_ABS_SETUP, &setup) < 0) return systemError("UI_ABS_SETUP");
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_USB;
    setup.id.vendor = 0x045e;
    setup.id.product = 0x028e;
    setup.id.version = 0x0110;
    std::strncpy(setup.name, uinputpad::kDeviceName, sizeof setup.name - 1);
    if (::ioctl(fd, UI_DEV_SETUP, &setup) < 0) return systemError("UI_DEV_SETUP");
    if (::ioctl(fd, UI_DEV_CREATE) < 0) return systemError("UI_DEV_CREATE");
    target->client = client;
    target->sentAny = false;
    return kErrorNone;
  }

  std::uint32_t targetRemove(Handle clientHandle, Handle targetHandle) override {
    auto* client = static_cast<Client*>(clientHandle);
    auto* target = static_cast<Target*>(targetHandle);
    if (!client || !target || target->client != client || client->fd < 0) return kErrorBusNotFound;
    target->client = nullptr;
    // A game may keep the last state it read: centre everything before the pad goes.
    if (target->sentAny) uinputpad::writeEvents(client->fd, padevents::translateReport(&target->last, XusbReport{}));
    target->sentAny = false;
    return ::ioctl(client->fd, UI_DEV_DESTROY) < 0 ? systemError("UI_DEV_DESTROY") : kErrorNone;
  }

  std::uint32_t targetX360Update(Handle clientHandle, Handle targetHandle, const XusbReport& report) override {
    auto* client = static_cast<Client*>(clientHandle);
    auto* target = static_cast<Target*>(targetHandle);
    if (!client || !target || target->client != client || client->fd < 0) return kErrorBusNotFound;
    const auto events = padevents::translateReport(target->sentAny ? &target->last : nullptr, report);
    if (!uinputpad::writeEvents(client->fd, events)) return systemError("write");
    target->last = report;
    target->sentAny = true;
    return kErrorNone;
  }

  std::string lastProblem() const override { return lastProblem_; }

 private:
  // The code of the system error in `errno`, remembering which call failed.
  std::uint32_t systemError(const char* call) {
    const int number = errno;
    lastProblem_ = std::string(call) + ": " + std::strerror(number);
    return systemCode(number);
  }

  std::string path_;
  std::string lastProblem_;
};

}  // namespace

std::unique_ptr<VirtualPadBus> createVirtualPadBus(const std::string& location) {
  return std::make_unique<UinputPadBus>(location.empty() ? "/dev/uinput" : location);
}

}  // namespace platform
