#pragma once

#include <string>
#include <vector>

#include "app/outputs/output_port.h"

namespace engine {

// Test double: records every call to the output port as text, and the current
// state of the jump and crouch outputs.
struct RecordingOutputPort : outputs::IOutputPort {
  std::vector<std::string> calls;
  bool jump = false;
  bool crouch = false;
  float x = 0, y = 0;

  void updateStick(float sx, float sy) override {
    x = sx;
    y = sy;
    calls.push_back("stick");
  }
  void setJump(bool pressed) override {
    jump = pressed;
    calls.push_back(pressed ? "jump down" : "jump up");
  }
  void setCrouch(bool pressed) override {
    crouch = pressed;
    calls.push_back(pressed ? "crouch down" : "crouch up");
  }
  void centerAll() override {
    jump = crouch = false;
    x = y = 0;
    calls.push_back("center");
  }
  void keepAlive() override {}
};

struct ManualClock : core::Clock {
  double t = 100.0;
  double now() const override { return t; }
};

}  // namespace engine
