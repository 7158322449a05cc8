// hook_send: sends hook datagrams to the SteamVR driver on this machine, to try the
// driver without the main program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"

namespace {

void usage() {
  std::fputs(
      "usage: hook_send [--port N] [--repeat N] [--interval MS] COMMAND\n"
      "  stick ADDRESS X Y          push the stick (Y positive is forward), e.g. stick L 0 1\n"
      "  button ADDRESS NAME on|off press or release a button, e.g. button L a on\n"
      "  release ADDRESS            hand the stick back to the controller\n"
      "  raw TEXT                   send TEXT as it is\n"
      "ADDRESS is L, R, Left, Right or SN:<serial number>.\n"
      "A stick override lapses 500 ms after its last message: use --repeat to hold it.\n"
      "Datagrams go to 127.0.0.1, port 4445 unless --port is given.\n",
      stderr);
}

bool parseFloat(const char* text, float& out) {
  char* end = nullptr;
  out = std::strtof(text, &end);
  return end != text && *end == '\0';
}

bool parseInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

std::string addressOf(const std::string& text) {
  if (text.rfind("SN:", 0) == 0) return text;
  return hook::address("", text);
}

}  // namespace

int main(int argc, char** argv) {
  int port = hook::kDriverPort;
  int repeat = 1;
  int interval = 20;
  int at = 1;
  for (; at + 1 < argc && std::strncmp(argv[at], "--", 2) == 0; at += 2) {
    const std::string option = argv[at];
    const bool ok = (option == "--port" && parseInt(argv[at + 1], 1, 65535, port)) ||
                    (option == "--repeat" && parseInt(argv[at + 1], 1, 100000, repeat)) ||
                    (option == "--interval" && parseInt(argv[at + 1], 0, 10000, interval));
    if (!ok) {
      usage();
      return 2;
    }
  }
  const std::vector<std::string> args(argv + at, argv + argc);
  std::vector<std::string> messages;
  if (args.size() == 4 && args[0] == "stick") {
    float x = 0, y = 0;
    if (!parseFloat(args[2].c_str(), x) || !parseFloat(args[3].c_str(), y)) {
      usage();
      return 2;
    }
    messages.push_back(hook::stickMessage(addressOf(args[1]), x, y));
  } else if (args.size() == 4 && args[0] == "button" && (args[3] == "on" || args[3] == "off")) {
    const bool pressed = args[3] == "on";
    const std::string address = addressOf(args[1]);
    messages.push_back(hook::buttonMessage(address, args[2], pressed));
    if (hook::needsJoystickCompanion(args[2]) && address.rfind("SN:", 0) != 0)
      messages.push_back(hook::joystickCompanionMessage(address, pressed));
  } else if (args.size() == 2 && args[0] == "release") {
    messages.push_back(hook::releaseMessage(addressOf(args[1])));
  } else if (args.size() == 2 && args[0] == "raw") {
    messages.push_back(args[1]);
  } else {
    usage();
    return 2;
  }

  platform::UdpSocket socket;
  if (!socket.open()) {
    std::fprintf(stderr, "hook_send: cannot open a UDP socket (error %d)\n", socket.lastError());
    return 1;
  }
  const platform::Endpoint driver = platform::Endpoint::loopback(static_cast<std::uint16_t>(port));
  for (int i = 0; i < repeat; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    for (const std::string& message : messages) {
      if (!socket.sendTo(message, driver)) {
        std::fprintf(stderr, "hook_send: sending failed (error %d)\n", socket.lastError());
        return 1;
      }
    }
  }
  for (const std::string& message : messages) std::printf("sent \"%s\" to 127.0.0.1:%d\n", message.c_str(), port);
  return 0;
}
