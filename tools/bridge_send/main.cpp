// bridge_send: feeds a controller state into StrivoVR's virtual pad over UDP, as the
// bridge datagram ("SVBR" + one Xbox 360 report), from states given on the command
// line or in a script file.
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/udp_socket.h"
#include "tools/bridge_send/pad_script.h"

namespace {

constexpr const char* kUsage =
    "usage: bridge_send [--host ADDRESS] [--port PORT] [--interval MS] [--file SCRIPT] [STATE ...]\n"
    "Sends each STATE (or each line of SCRIPT) to the bridge, every --interval ms (default 20)\n"
    "for as long as its ms= says, at least once. Default destination 127.0.0.1:55666.\n"
    "STATE: buttons joined by '+' (A B X Y LB RB LTHUMB RTHUMB START BACK GUIDE DPAD_UP\n"
    "DPAD_DOWN DPAD_LEFT DPAD_RIGHT, or none), lt= rt= (0..255), lx= ly= rx= ry=\n"
    "(-32768..32767, y positive up), ms= (hold time). Example: \"A+LB lt=200 ly=32767 ms=500\"\n";

bool parsePort(const std::string& text, long minimum, long& out) {
  try {
    std::size_t used = 0;
    out = std::stol(text, &used);
    return used == text.size() && out >= minimum && out <= 65535;
  } catch (...) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  long port = 55666;
  long interval = 20;
  std::vector<bridgesend::PadStep> steps;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    std::string error;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--host" && hasValue) {
      host = argv[++i];
    } else if (arg == "--port" && hasValue) {
      if (!parsePort(argv[++i], 1, port)) {
        std::cerr << "bridge_send: bad port\n";
        return 2;
      }
    } else if (arg == "--interval" && hasValue) {
      if (!parsePort(argv[++i], 1, interval) || interval > 10000) {
        std::cerr << "bridge_send: --interval needs 1 to 10000 ms\n";
        return 2;
      }
    } else if (arg == "--file" && hasValue) {
      const std::string path = argv[++i];
      std::stringstream text;
      if (path == "-") {
        text << std::cin.rdbuf();
      } else {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
          std::cerr << "bridge_send: cannot read " << path << "\n";
          return 2;
        }
        text << file.rdbuf();
      }
      std::vector<bridgesend::PadStep> fromFile;
      if (!bridgesend::parseScript(text.str(), fromFile, error)) {
        std::cerr << "bridge_send: " << path << ": " << error << "\n";
        return 2;
      }
      steps.insert(steps.end(), fromFile.begin(), fromFile.end());
    } else if (arg.rfind("--", 0) == 0) {
      std::cerr << "bridge_send: unknown or incomplete option " << arg << "\n" << kUsage;
      return 2;
    } else {
      bridgesend::PadStep step;
      if (!bridgesend::parseStep(arg, step, error)) {
        std::cerr << "bridge_send: \"" << arg << "\": " << error << "\n";
        return 2;
      }
      steps.push_back(step);
    }
  }
  if (steps.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  platform::Endpoint to;
  if (!platform::Endpoint::parse(host, static_cast<std::uint16_t>(port), to)) {
    std::cerr << "bridge_send: --host needs a dotted IPv4 address\n";
    return 2;
  }
  platform::UdpSocket socket;
  if (!socket.open()) {
    std::cerr << "bridge_send: cannot open a UDP socket (error " << socket.lastError() << ")\n";
    return 1;
  }
  std::size_t sent = 0;
  for (const auto& step : steps) {
    const auto datagram = pad::encodeBridgeDatagram(step.report);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.holdMilliseconds);
    do {
      if (!socket.sendTo(datagram, to)) {
        std::cerr << "bridge_send: send failed (error " << socket.lastError() << ")\n";
        return 1;
      }
      ++sent;
      if (std::chrono::steady_clock::now() + std::chrono::milliseconds(interval) >= until) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    } while (true);
  }
  std::cout << "bridge_send: sent " << sent << " datagrams to " << to.addressText() << ":" << to.port << "\n";
  return 0;
}
