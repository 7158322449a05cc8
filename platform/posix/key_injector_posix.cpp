#include "platform/posix/key_injector_posix.h"

#include <X11/Xlib.h>
#include <X11/Xmd.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/xtestproto.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <ostream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/posix/last_stop_stream_posix.h"

namespace platform::posix {

namespace {

struct LinuxKey {
  std::uint16_t virtualKey;
  int evdev;
  unsigned long keysym;
};

// Every key the program can name. Modifiers are the left-hand keys.
constexpr LinuxKey kKeys[] = {
    {0x08, KEY_BACKSPACE, XK_BackSpace},
    {0x09, KEY_TAB, XK_Tab},
    {0x0D, KEY_ENTER, XK_Return},
    {0x10, KEY_LEFTSHIFT, XK_Shift_L},
    {0x11, KEY_LEFTCTRL, XK_Control_L},
    {0x12, KEY_LEFTALT, XK_Alt_L},
    {0x13, KEY_PAUSE, XK_Pause},
    {0x14, KEY_CAPSLOCK, XK_Caps_Lock},
    {0x1B, KEY_ESC, XK_Escape},
    {0x20, KEY_SPACE, XK_space},
    {0x21, KEY_PAGEUP, XK_Prior},
    {0x22, KEY_PAGEDOWN, XK_Next},
    {0x23, KEY_END, XK_End},
    {0x24, KEY_HOME, XK_Home},
    {0x25, KEY_LEFT, XK_Left},
    {0x26, KEY_UP, XK_Up},
    {0x27, KEY_RIGHT, XK_Right},
    {0x28, KEY_DOWN, XK_Down},
    {0x2C, KEY_SYSRQ, XK_Print},
    {0x2D, KEY_INSERT, XK_Insert},
    {0x2E, KEY_DELETE, XK_Delete},
    {0x30, KEY_0, XK_0},
    {0x31, KEY_1, XK_1},
    {0x32, KEY_2, XK_2},
    {0x33, KEY_3, XK_3},
    {0x34, KEY_4, XK_4},
    {0x35, KEY_5, XK_5},
    {0x36, KEY_6, XK_6},
    {0x37, KEY_7, XK_7},
    {0x38, KEY_8, XK_8},
    {0x39, KEY_9, XK_9},
    {0x41, KEY_A, XK_a},
    {0x42, KEY_B, XK_b},
    {0x43, KEY_C, XK_c},
    {0x44, KEY_D, XK_d},
    {0x45, KEY_E, XK_e},
    {0x46, KEY_F, XK_f},
    {0x47, KEY_G, XK_g},
    {0x48, KEY_H, XK_h},
    {0x49, KEY_I, XK_i},
    {0x4A, KEY_J, XK_j},
    {0x4B, KEY_K, XK_k},
    {0x4C, KEY_L, XK_l},
    {0x4D, KEY_M, XK_m},
    {0x4E, KEY_N, XK_n},
    {0x4F, KEY_O, XK_o},
    {0x50, KEY_P, XK_p},
    {0x51, KEY_Q, XK_q},
    {0x52, KEY_R, XK_r},
    {0x53, KEY_S, XK_s},
    {0x54, KEY_T, XK_t},
    {0x55, KEY_U, XK_u},
    {0x56, KEY_V, XK_v},
    {0x57, KEY_W, XK_w},
    {0x58, KEY_X, XK_x},
    {0x59, KEY_Y, XK_y},
    {0x5A, KEY_Z, XK_z},
    {0x5B, KEY_LEFTMETA, XK_Super_L},
    {0x70, KEY_F1, XK_F1},
    {0x71, KEY_F2, XK_F2},
    {0x72, KEY_F3, XK_F3},
    {0x73, KEY_F4, XK_F4},
    {0x74, KEY_F5, XK_F5},
    {0x75, KEY_F6, XK_F6},
    {0x76, KEY_F7, XK_F7},
    {0x77, KEY_F8, XK_F8},
    {0x78, KEY_F9, XK_F9},
    {0x79, KEY_F10, XK_F10},
    {0x7A, KEY_F11, XK_F11},
    {0x7B, KEY_F12, XK_F12},
    {0x90, KEY_NUMLOCK, XK_Num_Lock},
    {0x91, KEY_SCROLLLOCK, XK_Scroll_Lock},
};

const LinuxKey* find(std::uint16_t virtualKey) {
  for (const LinuxKey& key : kKeys)
    if (key.virtualKey == virtualKey) return &key;
  return nullptr;
}

class UinputKeyInjector : public IKeyInjector {
 public:
  explicit UinputKeyInjector(int fd) : fd_(fd) {}
  ~UinputKeyInjector() override {
    // Keys still down go up first, so no application is left with a held key.
    for (const std::uint16_t virtualKey : down_) writeUinputKeyEvent(fd_, virtualKey, false);
    ioctl(fd_, UI_DEV_DESTROY);
    ::close(fd_);
  }
  bool sendKey(std::uint16_t virtualKey, bool down) override {
    std::lock_guard lock(mutex_);
    if (!writeUinputKeyEvent(fd_, virtualKey, down)) return false;
    if (down)
      down_.insert(virtualKey);
    else
      down_.erase(virtualKey);
    return true;
  }

 private:
  std::mutex mutex_;
  int fd_;
  std::set<std::uint16_t> down_;
};

// The X server keeps keys pressed through XTest after their client dies, so the
// injector keeps the release requests of the keys it holds ready for a crash: the
// handler writes them straight to the connection (the X protocol needs no reply for
// them, and XSync after every event leaves no half-sent request behind).
class XTestKeyInjector : public IKeyInjector {
 public:
  XTestKeyInjector(Display* display, int xtestOpcode) : display_(display), xtestOpcode_(xtestOpcode) {}
  ~XTestKeyInjector() override {
    setLastStopStreamWrites(-1, {});
    XCloseDisplay(display_);
  }
  bool sendKey(std::uint16_t virtualKey, bool down) override {
    const unsigned long keysym = x11Keysym(virtualKey);
    if (keysym == 0) return false;
    // One connection, used from the engine's threads: Xlib calls on it must not overlap.
    std::lock_guard lock(mutex_);
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) return false;
    const bool sent = XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime) != 0;
    XSync(display_, False);
    if (sent && (down ? down_.insert(code).second : down_.erase(code) > 0)) publishReleases();
    return sent;
  }

 private:
  // One XTest FakeInput request per held key: a KeyRelease at the current time.
  void publishReleases() {
    std::vector<std::string> releases;
    for (const KeyCode code : down_) {
      xXTestFakeInputReq request{};
      request.reqType = static_cast<CARD8>(xtestOpcode_);
      request.xtReqType = X_XTestFakeInput;
      request.length = sz_xXTestFakeInputReq / 4;
      request.type = KeyRelease;
      request.detail = code;
      releases.emplace_back(reinterpret_cast<const char*>(&request), sz_xXTestFakeInputReq);
    }
    setLastStopStreamWrites(ConnectionNumber(display_), releases);
  }

  std::mutex mutex_;
  Display* display_;
  int xtestOpcode_;
  std::set<KeyCode> down_;
};

// No facility available: every event fails, nothing else happens.
class UnavailableKeyInjector : public IKeyInjector {
 public:
  bool sendKey(std::uint16_t, bool) override { return false; }
};

}  // namespace

int evdevKeyCode(std::uint16_t virtualKey) {
  const LinuxKey* key = find(virtualKey);
  return key ? key->evdev : 0;
}

unsigned long x11Keysym(std::uint16_t virtualKey) {
  const LinuxKey* key = find(virtualKey);
  return key ? key->keysym : 0;
}

bool writeUinputKeyEvent(int fd, std::uint16_t virtualKey, bool down) {
  const int code = evdevKeyCode(virtualKey);
  if (code == 0) return false;
  input_event events[2]{};
  events[0].type = EV_KEY;
  events[0].code = static_cast<std::uint16_t>(code);
  events[0].value = down ? 1 : 0;
  events[1].type = EV_SYN;
  events[1].code = SYN_REPORT;
  events[1].value = 0;
  ssize_t written;
  do {
    written = ::write(fd, events, sizeof events);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(sizeof events);
}

std::unique_ptr<IKeyInjector> openUinputKeyInjector(const std::string& devicePath, std::ostream& err) {
  const int fd = ::open(devicePath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err << "[Keyboard] Cannot open " << devicePath << ": " << std::strerror(errno) << std::endl;
    return nullptr;
  }
  bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
  for (const LinuxKey& key : kKeys) ok = ok && ioctl(fd, UI_SET_KEYBIT, key.evdev) == 0;
  uinput_setup setup{};
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = 0x1209;
  setup.id.product = 0x5356;
  setup.id.version = 1;
  std::strncpy(setup.name, "StrivoVR virtual keyboard", UINPUT_MAX_NAME_SIZE - 1);
  ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
  if (!ok) {
    err << "[Keyboard] Cannot create the uinput keyboard: " << std::strerror(errno) << std::endl;
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<UinputKeyInjector>(fd);
}

// Xlib's default handler ends the process on any protocol error; a failed key
// event is not worth that.
static int ignoreXError(Display*, XErrorEvent*) { return 0; }

std::unique_ptr<IKeyInjector> openXTestKeyInjector(const char* displayName, std::ostream& err) {
  static std::once_flag handlerInstalled;
  std::call_once(handlerInstalled, [] { XSetErrorHandler(ignoreXError); });
  Display* display = XOpenDisplay(displayName);
  const char* shownName = displayName ? displayName : "(DISPLAY unset)";
  if (const char* fromEnvironment = displayName ? nullptr : std::getenv("DISPLAY")) shownName = fromEnvironment;
  if (!display) {
    err << "[Keyboard] Cannot open X display " << shownName << "." << std::endl;
    return nullptr;
  }
  int eventBase, errorBase, major, minor, opcode;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) ||
      !XQueryExtension(display, XTestExtensionName, &opcode, &eventBase, &errorBase)) {
    err << "[Keyboard] X display " << shownName << " has no XTest extension." << std::endl;
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<XTestKeyInjector>(display, opcode);
}

}  // namespace platform::posix

namespace platform {

std::unique_ptr<IKeyInjector> createKeyInjector(std::ostream& out, std::ostream& err) {
  std::ostringstream problems;
  if (::access("/dev/uinput", W_OK) == 0) {
    if (auto injector = posix::openUinputKeyInjector("/dev/uinput", problems)) {
      out << "[Keyboard] Sending keys through the uinput virtual keyboard." << std::endl;
      return injector;
    }
  } else {
    problems << "[Keyboard] /dev/uinput is not writable." << std::endl;
  }
  if (auto injector = posix::openXTestKeyInjector(nullptr, problems)) {
    out << "[Keyboard] Sending keys through XTest." << std::endl;
    return injector;
  }
  err << problems.str() << "[Keyboard] Simulated keys are unavailable." << std::endl;
  return std::make_unique<posix::UnavailableKeyInjector>();
}

}  // namespace platform
