#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include "platform/audio_device.h"

namespace platform {
namespace {

class MciAudioDevice final : public IAudioDevice {
 public:
  unsigned send(const std::string& command) override {
    return static_cast<unsigned>(mciSendStringA(command.c_str(), nullptr, 0, nullptr));
  }
  bool errorText(unsigned code, std::string& text) override {
    char buffer[256] = {};
    if (!mciGetErrorStringA(code, buffer, sizeof buffer)) return false;
    text = buffer;
    return true;
  }
};

}  // namespace

std::unique_ptr<IAudioDevice> makeAudioDevice() { return std::make_unique<MciAudioDevice>(); }

}  // namespace platform
