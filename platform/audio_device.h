#pragma once

#include <memory>
#include <string>

namespace platform {

// The system's sound output, driven by media command strings of the form
//   open "<file>" type mpegvideo alias <alias>
//   setaudio <alias> volume to <0..1000>
//   play <alias> from 0
//   close <alias>
// On Windows these go to the multimedia command-string interface as they are; on
// Linux the same commands are carried out with SDL2_mixer (one alias, one sound at
// a time, volume scaled linearly). A result of 0 is success; other values are
// error codes whose text errorText() gives.
class IAudioDevice {
 public:
  virtual ~IAudioDevice() = default;
  virtual unsigned send(const std::string& command) = 0;
  // The text of an error code; false when none can be obtained.
  virtual bool errorText(unsigned code, std::string& text) = 0;
};

// The platform's device. Nothing is opened until the first command.
std::unique_ptr<IAudioDevice> makeAudioDevice();

}  // namespace platform
