#pragma once

#include <iostream>
#include <mutex>
#include <string>

#include "app/core/feedback_sounds.h"
#include "app/core/settings.h"
#include "platform/audio_device.h"

namespace core {

// Plays "audio/start.mp3" when locomotion is switched on and "audio/stop.mp3" when it
// is switched off: from `soundFolder` (the program's own folder, so the sounds play
// whatever the working directory) when the file is there, else relative to the
// working directory. One sound at a time on the media alias mp3_feedback, at
// `audio_volume`. Nothing at all happens while `enable_audio_feedback` is false. A
// file that cannot be opened is reported on `err` as
// "[AudioService] Failed to open <file>: <text> (Code: <n>)".
class AudioService final : public IFeedbackSounds {
 public:
  AudioService(const Settings& settings, platform::IAudioDevice& device, std::ostream& err = std::cerr,
               std::string soundFolder = {});

  void playStartSound() override { play(soundPath("start.mp3")); }
  void playStopSound() override { play(soundPath("stop.mp3")); }

  // Cuts off the sound still playing and plays `file` from its start without
  // waiting for its end.
  void play(const std::string& file);
  // v in 0..1 onto the device's 0..1000, truncated; values outside are limited.
  void setVolume(float v);

  // The device level for a volume: v × 1000 truncated toward zero, limited to 0..1000.
  static int levelFor(float v);

 private:
  std::string soundPath(const std::string& name) const;

  const Settings& settings_;
  platform::IAudioDevice& device_;
  std::ostream& err_;
  const std::string soundFolder_;
  // Toggles on different threads may ask for a sound at the same moment; the
  // requests are carried out one after the other so the later one wins cleanly.
  std::mutex mutex_;
};

}  // namespace core
