#pragma once

#include "app/core/road_stats.h"
#include "app/outputs/output_port.h"
#include "platform/hot_path.h"

namespace outputs {

// The engine's door to the outputs, counting what goes through it for the road panel:
// each call is forwarded first, so a stick is counted (and its latency measured) once sent.
class RoadCountingPort final : public IOutputPort {
 public:
  RoadCountingPort(IOutputPort& output, core::RoadStats& road) : output_(output), road_(road) {}
  STRIVO_HOT_PATH void updateStick(float x, float y) override {
    output_.updateStick(x, y);
    road_.outputSent(x, y);
  }
  void setJump(bool pressed) override {
    output_.setJump(pressed);
    road_.outputMessage();
  }
  void setCrouch(bool pressed) override {
    output_.setCrouch(pressed);
    road_.outputMessage();
  }
  void centerAll() override {
    output_.centerAll();
    road_.outputMessage();
  }
  void keepAlive() override { output_.keepAlive(); }

 private:
  IOutputPort& output_;
  core::RoadStats& road_;
};

}  // namespace outputs
