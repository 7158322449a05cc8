#pragma once

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/outputs/output_port.h"

namespace engine {

// A detector reported a jump: log it as "Engine: Jump detected (<kind>)!", press
// the jump output and schedule its release `jump_duration` seconds after `now`.
// Called under the engine lock.
void pressJump(core::Settings& settings, core::Logger& logger, outputs::IOutputPort& output, double now,
               const char* kind);

// The engine thread's timed releases: lets go of jump and crouch once their
// release times (engine clock, 0 = none pending) have come. Called under the
// engine lock, so a press scheduled by a handler cannot slip between the check
// and the clearing of its time.
void releaseDuePresses(core::Settings& settings, outputs::IOutputPort& output, double now);

}  // namespace engine
