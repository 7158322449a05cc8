#pragma once

namespace outputs {

// What the engine drives: the routed stick, jump and crouch, and "stop everything".
// Implemented by OutputService; tests use a recording fake.
class IOutputPort {
 public:
  virtual ~IOutputPort() = default;
  // x, y in -1..+1, x positive right, y negative forward.
  virtual void updateStick(float x, float y) = 0;
  virtual void setJump(bool pressed) = 0;
  virtual void setCrouch(bool pressed) = 0;
  virtual void centerAll() = 0;
  // Called by the engine's periodic pass (every 20 ms), so held outputs stay visibly live.
  virtual void keepAlive() = 0;
};

}  // namespace outputs
