#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace phonesim {

// A value over time: "t:v,t:v,..." keyframes (seconds : degrees), linear in between,
// held before the first and after the last.
class Script {
 public:
  // False (with a message) on anything but comma-separated "number:number" pairs.
  bool parse(const std::string& text, std::string& error);
  double at(double seconds) const;
  const std::vector<std::pair<double, double>>& keys() const { return keys_; }

 private:
  std::vector<std::pair<double, double>> keys_{{0.0, 0.0}};
};

struct Options {
  std::string host = "127.0.0.1";
  int port = 6969;
  double rate = 100;          // rotation packets per second
  double seconds = 3;         // length of the stream
  Script lean;                // forward lean: rotation about the phone's Y axis, degrees
  Script side;                // sideways lean: rotation about the phone's Z axis, degrees
  bool accel = false;         // an acceleration packet with each rotation
  std::vector<double> jumps;  // times of upward acceleration spikes
  double jumpAccel = 20;      // m/s² on Y during a spike
  int taps = 0;
  int resets = 0;
  double pingEvery = 1;         // seconds; 0 = no pings
  double handshakeTimeout = 3;  // seconds
  bool quiet = false;
  bool help = false;
};

// Parses the command line (without the program name). False with a message on bad input.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

const char* usageText();

// The phone's orientation quaternion (x, y, z, w) for a forward lean about Y and a
// sideways lean about Z, both in degrees: q = Rz(side) * Ry(lean).
std::array<float, 4> orientation(double leanDegrees, double sideDegrees);

}  // namespace phonesim
