#pragma once

#include <string_view>

#include "app/core/logger.h"

namespace tracking {

// The OpenVR threads' diagnostic lines, whole, through the one log: standard output
// (or error) exactly as written, and the Debug tab.
class ConsoleLines {
 public:
  explicit ConsoleLines(core::Logger& log) : log_(log) {}

  void out(std::string_view line) { log_.write(core::Logger::Line::Out, line); }
  void err(std::string_view line) { log_.write(core::Logger::Line::Err, line); }

 private:
  core::Logger& log_;
};

}  // namespace tracking
