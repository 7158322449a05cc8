#include "platform/win32/key_injector_win32.h"

#include "platform/key_injector.h"

namespace platform {

namespace win32 {

INPUT keyboardInputRecord(std::uint16_t virtualKey, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = 0;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  input.ki.time = 0;
  input.ki.dwExtraInfo = 0;
  return input;
}

}  // namespace win32

namespace {

// Each event is handed to SendInput alone.
class SendInputKeyInjector : public IKeyInjector {
 public:
  bool sendKey(std::uint16_t virtualKey, bool down) override {
    INPUT input = win32::keyboardInputRecord(virtualKey, down);
    return SendInput(1, &input, sizeof(INPUT)) == 1;
  }
};

}  // namespace

std::unique_ptr<IKeyInjector> createKeyInjector(std::ostream&, std::ostream&) {
  return std::make_unique<SendInputKeyInjector>();
}

}  // namespace platform
