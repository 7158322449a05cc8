#include "app/engine/timed_presses.h"

#include <string>

namespace engine {

void pressJump(core::Settings& settings, core::Logger& logger, outputs::IOutputPort& output, double now,
               const char* kind) {
  logger.info(std::string("Engine: Jump detected (") + kind + ")!");
  output.setJump(true);
  settings.jump_release_time = now + settings.jump_duration.load();
}

void releaseDuePresses(core::Settings& settings, outputs::IOutputPort& output, double now) {
  const double jumpAt = settings.jump_release_time;
  if (jumpAt > 0 && now >= jumpAt) {
    output.setJump(false);
    settings.jump_release_time = 0.0;
  }
  const double crouchAt = settings.crouch_release_time;
  if (crouchAt > 0 && now >= crouchAt) {
    output.setCrouch(false);
    settings.crouch_release_time = 0.0;
  }
}

}  // namespace engine
