#pragma once

#include <string>

// The five output backends as the OutputService sees them. Each backend class
// implements its interface; OutputService holds a pointer to each (a null pointer
// is a backend not present in this build, and every call to it is a no-op).
namespace outputs {

// Simulated keys (KeyboardOutputService).
class IKeyboardBackend {
 public:
  virtual ~IKeyboardBackend() = default;
  virtual void init() = 0;
  virtual void update(float x, float y) = 0;
  virtual void pressKey(const std::string& binding) = 0;
  virtual void releaseKey(const std::string& binding) = 0;
  virtual void reset() = 0;
};

// The virtual Xbox 360 controller (VirtualJoystickService).
class IVirtualPadBackend {
 public:
  virtual ~IVirtualPadBackend() = default;
  virtual void init() = 0;
  virtual void shutdown() = 0;
  virtual void update(float x, float y) = 0;
  virtual void setButton(const std::string& name, bool pressed) = 0;
  // Sends the current report again (the engine thread keeps bridge input flowing).
  virtual void submitReport() = 0;
};

// VRChat's OSC input endpoints.
class IOscOutputBackend {
 public:
  virtual ~IOscOutputBackend() = default;
  virtual void init() = 0;
  virtual void cleanup() = 0;
  virtual void update(float x, float y) = 0;
  virtual void setJump(bool pressed) = 0;
};

// The SteamVR driver, through hook datagrams (SteamVRHookService).
class IHookBackend {
 public:
  virtual ~IHookBackend() = default;
  virtual void initialize() = 0;
  virtual void cleanup() = 0;
  // y negative forward, as the engine gives it; `hand` is a hand text such as "Left".
  virtual void sendStick(float x, float y, const std::string& hand) = 0;
  virtual void buttonEvent(const std::string& button, bool pressed, const std::string& hand) = 0;
  virtual void sendRelease(const std::string& text) = 0;
  // Called from the engine's periodic pass: repeats the presses it holds.
  virtual void keepAlive() = 0;
};

// The OpenXR layer's input record writer.
class IOpenXRWriterBackend {
 public:
  virtual ~IOpenXRWriterBackend() = default;
  virtual void initialize() = 0;
  virtual void cleanup() = 0;
  virtual void center() = 0;
  // `hand` is a hand letter ("L", "R"); y positive forward.
  virtual void setStick(const std::string& hand, float x, float y) = 0;
  virtual void setButton(const std::string& hand, const std::string& button, bool pressed) = 0;
  // Called from the engine's periodic pass: marks the record live while it injects.
  virtual void keepAlive() = 0;
};

// Which of the five outputs a press went to.
enum class OutputKind { None, Keyboard, Pad, Osc, Hook, OpenXr };

// One press as it was made: the output it went to and the binding resolved at that
// moment (a key binding; a pad button; a hook hand text and button; an OpenXR hand
// letter and button; nothing for VRChat's jump). Its release goes to exactly this,
// whatever the settings say by then.
struct HeldPress {
  OutputKind output = OutputKind::None;
  std::string hand;
  std::string button;

  bool held() const { return output != OutputKind::None; }
  bool operator==(const HeldPress&) const = default;
};

struct Backends {
  IKeyboardBackend* keyboard = nullptr;
  IVirtualPadBackend* pad = nullptr;
  IOscOutputBackend* osc = nullptr;
  IHookBackend* hook = nullptr;
  IOpenXRWriterBackend* openxr = nullptr;
};

}  // namespace outputs
