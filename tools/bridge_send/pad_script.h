#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/pad/bridge_datagram.h"

namespace bridgesend {

// One scripted pad state and how long to keep sending it.
struct PadStep {
  pad::XusbReport report;
  int holdMilliseconds = 0;  // 0: one datagram
  bool operator==(const PadStep&) const = default;
};

// Parses one state such as "A+LB lt=200 lx=-1000 ly=3000 ms=500":
// - buttons joined by '+': A B X Y LB RB LTHUMB RTHUMB START BACK GUIDE DPAD_UP
//   DPAD_DOWN DPAD_LEFT DPAD_RIGHT, or "none";
// - lt=, rt= triggers 0..255; lx=, ly=, rx=, ry= sticks -32768..32767 (y positive up);
// - ms= how long to keep sending it (0..600000).
// False with a message in `error` when anything is not understood.
bool parseStep(std::string_view text, PadStep& out, std::string& error);

// One state per line; blank lines and lines starting with '#' are skipped. Errors name the line.
bool parseScript(std::string_view text, std::vector<PadStep>& out, std::string& error);

}  // namespace bridgesend
