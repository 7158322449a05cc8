#include "tools/phone_sim/phone_sim_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace phonesim {
namespace {

bool toNumber(const std::string& text, double& out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(out);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

}  // namespace

bool Script::parse(const std::string& text, std::string& error) {
  std::vector<std::pair<double, double>> keys;
  for (const std::string& pair : split(text, ',')) {
    const auto colon = pair.find(':');
    double t = 0, v = 0;
    if (colon == std::string::npos || !toNumber(pair.substr(0, colon), t) || !toNumber(pair.substr(colon + 1), v) ||
        t < 0) {
      error = "bad keyframe \"" + pair + "\" (expected seconds:degrees, e.g. \"0:0,1:30,2:0\")";
      return false;
    }
    keys.emplace_back(t, v);
  }
  if (keys.empty()) {
    error = "empty script";
    return false;
  }
  std::stable_sort(keys.begin(), keys.end(), [](auto& a, auto& b) { return a.first < b.first; });
  keys_ = std::move(keys);
  return true;
}

double Script::at(double seconds) const {
  if (seconds <= keys_.front().first) return keys_.front().second;
  for (std::size_t i = 1; i < keys_.size(); ++i) {
    const auto& [t1, v1] = keys_[i];
    if (seconds <= t1) {
      const auto& [t0, v0] = keys_[i - 1];
      return t1 == t0 ? v1 : v0 + (v1 - v0) * (seconds - t0) / (t1 - t0);
    }
  }
  return keys_.back().second;
}

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = flag + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    const auto number = [&](double& out, double low, double high) {
      std::string text;
      if (!value(text)) return false;
      if (!toNumber(text, out) || out < low || out > high) {
        std::ostringstream message;
        message << flag << ": \"" << text << "\" is not a number from " << low << " to " << high;
        error = message.str();
        return false;
      }
      return true;
    };
    const auto integer = [&](int& out, int low, int high) {
      double n = 0;
      if (!number(n, low, high)) return false;
      if (n != std::floor(n)) {
        error = flag + " needs a whole number";
        return false;
      }
      out = static_cast<int>(n);
      return true;
    };
    std::string text;
    if (flag == "--help" || flag == "-h")
      options.help = true;
    else if (flag == "--host") {
      if (!value(options.host)) return false;
    } else if (flag == "--port") {
      if (!integer(options.port, 1, 65535)) return false;
    } else if (flag == "--rate") {
      if (!number(options.rate, 1, 1000)) return false;
    } else if (flag == "--seconds") {
      if (!number(options.seconds, 0, 3600)) return false;
    } else if (flag == "--lean" || flag == "--side") {
      if (!value(text)) return false;
      std::string why;
      if (!(flag == "--lean" ? options.lean : options.side).parse(text, why)) {
        error = flag + ": " + why;
        return false;
      }
    } else if (flag == "--accel")
      options.accel = true;
    else if (flag == "--jump") {
      if (!value(text)) return false;
      for (const std::string& part : split(text, ',')) {
        double t = 0;
        if (!toNumber(part, t) || t < 0) {
          error = "--jump: \"" + part + "\" is not a time in seconds";
          return false;
        }
        options.jumps.push_back(t);
      }
      options.accel = true;
    } else if (flag == "--jump-accel") {
      if (!number(options.jumpAccel, -1000, 1000)) return false;
    } else if (flag == "--tap") {
      if (!integer(options.taps, 0, 1000)) return false;
    } else if (flag == "--reset") {
      if (!integer(options.resets, 0, 1000)) return false;
    } else if (flag == "--ping-every") {
      if (!number(options.pingEvery, 0, 3600)) return false;
    } else if (flag == "--handshake-timeout") {
      if (!number(options.handshakeTimeout, 0.1, 600)) return false;
    } else if (flag == "--quiet" || flag == "-q")
      options.quiet = true;
    else {
      error = "unknown option \"" + flag + "\" (see --help)";
      return false;
    }
  }
  return true;
}

const char* usageText() {
  return R"(phone_sim: behaves like the phone tracker app talking to StrivoVR's phone server.
It sends the handshake, then a stream of rotations following a scripted lean (and,
if asked, accelerations, taps, reset events and pings), and prints what the server answers.

Usage: phone_sim [options]
  --host ADDR            server address, dotted IPv4 (default 127.0.0.1)
  --port N               server port (default 6969, the program's default phone port)
  --rate HZ              rotation packets per second, 1-1000 (default 100)
  --seconds S            how long to stream rotations (default 3; 0 = handshake only)
  --lean "t:deg,..."     forward lean over time: rotation about the phone's Y axis in degrees,
                         linear between keyframes (default "0:0"); e.g. "0:0,1:30,2:0"
  --side "t:deg,..."     sideways lean over time: rotation about the phone's Z axis (default "0:0")
                         With the default phone axis mapping, --lean drives forward/back and
                         --side left/right.
  --accel                send an acceleration packet (m/s², gravity removed) with each rotation
  --jump "t,t,..."       upward acceleration spikes on Y at these times, 0.1 s long (implies --accel)
  --jump-accel A         size of a jump spike in m/s² (default 20)
  --tap N                send N tap events, spread evenly over the stream
  --reset N              send N "reset" user-action events (action 2), spread evenly
  --ping-every S         send a ping every S seconds (default 1; 0 = none)
  --handshake-timeout S  give up when the handshake is not answered within S seconds (default 3)
  --quiet                print only the summary and errors
  --help                 this text

Exit status: 0 when the server answered the handshake correctly, 1 when it did not,
2 for a bad command line.
)";
}

std::array<float, 4> orientation(double leanDegrees, double sideDegrees) {
  constexpr double kHalfRadians = 3.14159265358979323846 / 360.0;
  const double sy = std::sin(leanDegrees * kHalfRadians), cy = std::cos(leanDegrees * kHalfRadians);
  const double sz = std::sin(sideDegrees * kHalfRadians), cz = std::cos(sideDegrees * kHalfRadians);
  return {static_cast<float>(-sz * sy), static_cast<float>(cz * sy), static_cast<float>(sz * cy),
          static_cast<float>(cz * cy)};
}

}  // namespace phonesim
