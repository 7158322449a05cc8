#pragma once

namespace core {

// The sounds a user wearing a headset hears when locomotion is switched on or off.
// Implemented by AudioService; toggles call it after releasing the engine lock.
class IFeedbackSounds {
 public:
  virtual ~IFeedbackSounds() = default;
  virtual void playStartSound() = 0;
  virtual void playStopSound() = 0;
};

// Plays nothing; used where no sound output exists.
class SilentFeedbackSounds final : public IFeedbackSounds {
 public:
  void playStartSound() override {}
  void playStopSound() override {}
};

}  // namespace core
