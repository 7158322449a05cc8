#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include "platform/audio_device.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

class MciAudioDevice final : public IAudioDevice {
 public:
  unsigned send(const std::string& command) override {
    // Commands carry file paths: UTF-8 here, UTF-16 for MCI.
    return static_cast<unsigned>(mciSendStringW(win32::widen(command).c_str(), nullptr, 0, nullptr));
  }
  bool errorText(unsigned code, std::string& text) override {
    wchar_t buffer[256] = {};
    if (!mciGetErrorStringW(code, buffer, 256)) return false;
    text = win32::narrow(buffer);
    return true;
  }
};

}  // namespace

std::unique_ptr<IAudioDevice> makeAudioDevice() { return std::make_unique<MciAudioDevice>(); }

}  // namespace platform
