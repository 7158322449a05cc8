// Latency from a phone rotation datagram leaving the simulator to the resulting hook
// datagram arriving at a listener on 127.0.0.1:4445, through a running
// strivovr-headless ("SteamVR Hook" output), beside a bare UDP relay (receive one
// datagram, send one) as the floor; and to the VRChat OSC output's Vertical message,
// beside a relay that sends two datagrams (the OSC output sends Horizontal first).
// Samples alternate between the roads at each rate, so all see the same machine load.
// Loopback only; bounded in samples and time.
//
// Prints one "result" line per road and rate (median and 99th percentile in
// microseconds, CPU time per sample of the whole process, peak memory); run.sh turns
// them into the ratio to the floor.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/stick_mapper.h"
#include "app/tracking/owotrack_protocol.h"
#include "bench/latency/process_stats.h"
#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace owo = tracking::owotrack;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kReplyTimeout = 100ms;  // a sample without an answer by then is lost
constexpr int kMaxLost = 20;           // more lost samples than this ends the run
constexpr auto kRunLimit = 120s;       // the whole measurement, whatever the options
constexpr int kMaxSamples = 20000;     // per road and rate

struct Options {
  std::string program;
  std::string self;
  int samples100 = 1000;   // 10 s at 100 a second
  int samples1000 = 5000;  // 5 s at 1000 a second
  // A second relay in the program's place: the spread between two equal roads shows
  // how far the machine's own noise moves the ratio.
  bool control = false;
  // A relay that also does the program's arithmetic for a sample (see runArithmeticRelay).
  bool arithmetic = false;
};

// A child process with its standard output and error in `log`.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& log,
            const std::string& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int stopChild(pid_t pid) {
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {  // up to 5 s
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(50ms);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool waitForText(const std::string& log, const std::string& text, std::chrono::milliseconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(20ms))
    if (readAll(log).find(text) != std::string::npos) return true;
  return false;
}

// The relay: every datagram received on `inPort` is sent on to 127.0.0.1:`outPort`;
// with `twice`, a Horizontal-sized datagram of other bytes goes first, as the OSC
// output sends Horizontal before Vertical.
int runRelay(std::uint16_t inPort, std::uint16_t outPort, bool twice) {
  ::prctl(PR_SET_NAME, "relay");  // named apart from the benchmark in traces (trace.sh)
  platform::UdpSocket socket;
  if (!socket.open() || !socket.bind(platform::Endpoint::loopback(inPort))) return 1;
  const auto out = platform::Endpoint::loopback(outPort);
  std::array<std::byte, 28> first{};  // "/input/Horizontal" and a float, as OSC pads it
  const std::string_view address("/input/Horizontal\0\0\0,f\0\0", 24);
  std::transform(address.begin(), address.end(), first.begin(), [](char c) { return std::byte(c); });
  std::array<std::byte, 2048> buffer{};
  for (;;) {
    const auto result = socket.receiveFrom(buffer);
    if (result.status == platform::ReceiveStatus::Closed) return 0;
    if (result.status != platform::ReceiveStatus::Received) continue;
    if (twice) socket.sendTo(first, out);
    socket.sendTo(std::span<const std::byte>(buffer.data(), result.bytes), out);
  }
}

// The program's arithmetic for a sample and nothing else: decodes the phone's
// rotation, maps it and works out the stick with the engine's own mappers (the
// default locomotion settings), and sends the hook's stick message. No source choice,
// lock, configuration, counter or live value: its distance from the bare relay is
// what the arithmetic itself costs on this machine, a part of the program's that no
// change to the plumbing around it can remove.
int runArithmeticRelay(std::uint16_t inPort, std::uint16_t outPort) {
  ::prctl(PR_SET_NAME, "relay");
  platform::UdpSocket socket;
  if (!socket.open() || !socket.bind(platform::Endpoint::loopback(inPort))) return 1;
  const auto out = platform::Endpoint::loopback(outPort);
  const std::string address = hook::address("", "R");
  const core::Config::Locomotion locomotion;
  const engine::OrientationMapper mapper;
  engine::StickMapper stickMapper;
  std::array<std::byte, 2048> buffer{};
  std::array<char, 128> message{};
  for (;;) {
    const auto result = socket.receiveFrom(buffer);
    if (result.status == platform::ReceiveStatus::Closed) return 0;
    if (result.status != platform::ReceiveStatus::Received) continue;
    const owo::Packet packet = owo::decode(std::span<const std::byte>(buffer.data(), result.bytes));
    if (packet.kind != owo::Packet::Rotation) continue;
    const auto& v = packet.values;
    const engine::Angles mapped =
        mapper.mapQuaternion({v[0], v[1], v[2], v[3]}, locomotion.orientation, locomotion.screen_facing, true);
    engine::Angles centred = mapped;
    for (int i = 0; i < 3; ++i) centred[i] -= locomotion.center_offset[i];
    const engine::Stick stick = stickMapper.compute(locomotion, centred, false);
    const std::size_t length = hook::writeStickMessage(message, address, stick.x, -stick.y);
    if (length > 0) socket.sendTo(std::as_bytes(std::span(message.data(), length)), out);
  }
}

// A rotation of the phone leaning forward by 10 or 14 degrees (alternating; the lean
// turns about the quaternion's y axis, as phone_sim sends it), so every sample
// differs from the one before and yields a new stick value.
std::array<std::byte, owo::kRotationSize> rotation(std::uint64_t number, int lean) {
  std::array<std::byte, owo::kRotationSize> packet{};
  const double half = (lean ? 14.0 : 10.0) * M_PI / 360.0;
  owo::writeHeader(packet, owo::kRotation, number);
  owo::writeF32(packet, 12, 0.0f);
  owo::writeF32(packet, 16, static_cast<float>(std::sin(half)));
  owo::writeF32(packet, 20, 0.0f);
  owo::writeF32(packet, 24, static_cast<float>(std::cos(half)));
  return packet;
}

// What answers a sample on a road.
enum class Reply { SameBytes, HookStick, OscVertical };

struct Road {
  std::string name;
  bool program = false;  // a strivovr-headless, greeted and waited for
  Reply reply = Reply::SameBytes;
  platform::UdpSocket* listener = nullptr;
  pid_t pid = -1;
  std::string log;
  platform::Endpoint input;
  std::vector<double> micros;
  int lost = 0;
  std::uint64_t sent = 0;  // samples sent on this road; their parity picks the lean
  // The program's stick smooths towards each sample's lean, so with the two leans
  // alternating its forward value grows after the stronger lean and shrinks after
  // the weaker one. A reply that moved the other way (or not at all) answers some
  // other sample and is counted here.
  float lastForward = NAN;
  int mismatched = 0;
  double cpuStart = 0;
};

bool isAnswer(const Road& road, std::span<const std::byte> got, std::span<const std::byte> packet) {
  const std::string_view text(reinterpret_cast<const char*>(got.data()), got.size());
  switch (road.reply) {
    case Reply::SameBytes:
      return std::equal(got.begin(), got.end(), packet.begin(), packet.end());
    case Reply::HookStick: {
      const auto kind = hook::parse(text).kind;
      return kind == hook::Kind::HandStick || kind == hook::Kind::SerialStick;
    }
    case Reply::OscVertical:  // the second of the two axis messages completes the sample
      return text.substr(0, 16) == std::string_view("/input/Vertical\0", 16);
  }
  return false;
}

// The stick's forward value in a program's reply: the hook message's y, or the float
// of the OSC Vertical message (big-endian, after its 16-byte address and ",f\0\0").
float forwardOf(Reply reply, std::span<const std::byte> got) {
  if (reply == Reply::HookStick)
    return hook::parse(std::string_view(reinterpret_cast<const char*>(got.data()), got.size())).stick.y;
  return got.size() >= 24 ? owo::readF32(got, 20) : NAN;
}

// Waits for the answer to `packet` on the road's listener: for the relay the same
// bytes, for the program its stick output. Other datagrams are skipped. Microseconds,
// or -1.
double awaitReply(Road& road, std::span<const std::byte> packet, int lean, Clock::time_point sent) {
  std::array<std::byte, 2048> buffer{};
  for (;;) {
    const auto result = road.listener->receiveFrom(buffer);
    const auto now = Clock::now();
    if (result.status == platform::ReceiveStatus::Received) {
      const std::span<const std::byte> got(buffer.data(), result.bytes);
      if (isAnswer(road, got, packet)) {
        if (road.reply != Reply::SameBytes) {
          const float forward = std::fabs(forwardOf(road.reply, got));
          const bool grew = forward > road.lastForward, shrank = forward < road.lastForward;
          if (!std::isnan(road.lastForward) && !(lean ? grew : shrank)) ++road.mismatched;
          road.lastForward = forward;
        }
        return std::chrono::duration<double, std::micro>(now - sent).count();
      }
    }
    if (now - sent > kReplyTimeout) return -1;
  }
}

// Drops what already waits on `listener` (the program's periodic repeats): a datagram
// sent before the sample cannot answer it.
void drainQueued(platform::UdpSocket& listener) {
  std::array<std::byte, 2048> buffer{};
  listener.setNonBlocking(true);
  while (listener.receiveFrom(buffer).status == platform::ReceiveStatus::Received) {
  }
  listener.setNonBlocking(false);
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
  return values[std::min(index, values.size() - 1)];
}

bool measure(std::vector<Road>& roads, platform::UdpSocket& sender, int rate, int samples, Clock::time_point deadline,
             std::uint64_t& number) {
  for (auto& road : roads) {
    road.micros.clear();
    road.lost = 0;
    road.mismatched = 0;
    road.cpuStart = benchstats::cpuSeconds(road.pid);
  }
  const auto period = std::chrono::nanoseconds(1'000'000'000 / rate);
  auto next = Clock::now();
  for (int i = 0; i < samples; ++i) {
    std::this_thread::sleep_until(next);
    next += period;
    // Alternating which road goes first: the second finds the processor already awake.
    for (std::size_t k = 0; k < roads.size(); ++k) {
      Road& road = roads[(k + static_cast<std::size_t>(i)) % roads.size()];
      const int lean = static_cast<int>(road.sent++ % 2);
      const auto packet = rotation(++number, lean);
      drainQueued(*road.listener);
      const auto sent = Clock::now();
      sender.sendTo(packet, road.input);
      const double micros = awaitReply(road, packet, lean, sent);
      if (micros < 0 && ++road.lost > kMaxLost) {
        std::fprintf(stderr, "latency: %s lost more than %d samples\n", road.name.c_str(), kMaxLost);
        return false;
      }
      if (micros >= 0) road.micros.push_back(micros);
    }
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "latency: the run passed its time limit\n");
      return false;
    }
  }
  for (auto& road : roads) {
    const double cpu = benchstats::cpuSeconds(road.pid) - road.cpuStart;
    std::printf(
        "result road=%s rate=%d samples=%zu lost=%d mismatched=%d median_us=%.1f p99_us=%.1f cpu_us_per_sample=%.2f "
        "peak_kib=%ld\n",
        road.name.c_str(), rate, road.micros.size(), road.lost, road.mismatched, percentile(road.micros, 0.5),
        percentile(road.micros, 0.99), 1e6 * cpu / samples, benchstats::peakKib(road.pid));
  }
  std::fflush(stdout);
  return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
  options.self = fs::canonical("/proc/self/exe").string();
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--control") {
      options.control = true;
      continue;
    }
    if (flag == "--arithmetic") {
      options.arithmetic = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (flag == "--program") {
      options.program = value;
    } else if (flag == "--samples-100") {
      options.samples100 = std::clamp(std::atoi(value.c_str()), 1, kMaxSamples);
    } else if (flag == "--samples-1000") {
      options.samples1000 = std::clamp(std::atoi(value.c_str()), 1, kMaxSamples);
    } else {
      return false;
    }
  }
  return !options.program.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--arithmetic-relay")
    return runArithmeticRelay(static_cast<std::uint16_t>(std::atoi(argv[2])),
                              static_cast<std::uint16_t>(std::atoi(argv[3])));
  if (argc == 5 && std::string(argv[1]) == "--relay")
    return runRelay(static_cast<std::uint16_t>(std::atoi(argv[2])), static_cast<std::uint16_t>(std::atoi(argv[3])),
                    std::string(argv[4]) == "2");
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: latency_bench --program <strivovr-headless> [--samples-100 N] [--samples-1000 N] [--control]\n");
    return 2;
  }

  platform::UdpSocket hookListener, oscListener, sender;
  platform::Endpoint oscLocal;
  if (!hookListener.open() || !hookListener.bind(platform::Endpoint::loopback(hook::kDriverPort))) {
    std::fprintf(stderr, "latency: cannot listen on 127.0.0.1:%u (in use?)\n", hook::kDriverPort);
    return 1;
  }
  if (!oscListener.open() || !oscListener.bind(platform::Endpoint::loopback(0)) || !oscListener.localEndpoint(oscLocal))
    return 1;
  hookListener.setReceiveTimeout(10);
  oscListener.setReceiveTimeout(10);
  if (!sender.open() || !sender.bind(platform::Endpoint::loopback(0))) return 1;

  // Ports that were free a moment ago: each program's phone and OSC input ports, the relays'.
  std::uint16_t ports[7] = {};
  for (auto& port : ports) {
    platform::UdpSocket probe;
    platform::Endpoint local;
    if (!probe.open() || !probe.bind(platform::Endpoint::loopback(0)) || !probe.localEndpoint(local)) return 1;
    port = local.port;
  }

  char pattern[] = "/tmp/strivo_latency_XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const fs::path home = pattern;
  const std::string folder = fs::path(options.program).parent_path().string();
  // Each instance has its own HOME and runtime folder (so its own single-instance lock).
  const auto startProgram = [&](Road& road, const std::string& name, std::uint16_t phonePort, std::uint16_t oscInPort,
                                const std::string& output) {
    const fs::path own = home / name;
    fs::create_directories(own / "config/StrivoVR");
    std::ofstream(own / "config/StrivoVR/usersettings.json")
        << "{\"owotrack_input_port\": " << phonePort << ", \"osc_input_port\": " << oscInPort << ", " << output << "}";
    road.log = (own / "program.log").string();
    road.input = platform::Endpoint::loopback(phonePort);
    road.pid = spawn({fs::absolute(options.program).string()},
                     {"HOME=" + own.string(), "XDG_CONFIG_HOME=" + (own / "config").string(),
                      "XDG_RUNTIME_DIR=" + own.string(), "PATH=/usr/bin:/bin"},
                     road.log, folder);
  };
  const auto startRelay = [&](Road& road, std::uint16_t port, std::uint16_t outPort, int datagrams) {
    road.log = (home / (road.name + ".log")).string();
    road.input = platform::Endpoint::loopback(port);
    road.pid =
        spawn({options.self, "--relay", std::to_string(port), std::to_string(outPort), std::to_string(datagrams)},
              {"PATH=/usr/bin:/bin"}, road.log, home.string());
  };

  std::vector<Road> roads(options.control ? 2 : 4);
  if (options.arithmetic) {
    Road& road = roads.emplace_back();
    road.name = "arithmetic";
    road.reply = Reply::HookStick;
    road.listener = &hookListener;
    road.log = (home / "arithmetic.log").string();
    road.input = platform::Endpoint::loopback(ports[6]);
    road.pid = spawn({options.self, "--arithmetic-relay", std::to_string(ports[6]), std::to_string(hook::kDriverPort)},
                     {"PATH=/usr/bin:/bin"}, road.log, home.string());
  }
  roads[0].name = "relay";
  roads[0].listener = &hookListener;
  startRelay(roads[0], ports[0], hook::kDriverPort, 1);
  if (options.control) {
    roads[1].name = "relay2";
    roads[1].listener = &hookListener;
    startRelay(roads[1], ports[1], hook::kDriverPort, 1);
  } else {
    roads[1].name = "program";
    roads[1].reply = Reply::HookStick;
    roads[1].program = true;
    roads[1].listener = &hookListener;
    startProgram(roads[1], "hook", ports[1], ports[2], "\"mode\": \"SteamVR Hook\"");
    roads[2].name = "program_osc";
    roads[2].reply = Reply::OscVertical;
    roads[2].program = true;
    roads[2].listener = &oscListener;
    startProgram(roads[2], "osc", ports[3], ports[4],
                 "\"mode\": \"VRChat OSC\", \"vrchat_osc_address\": \"127.0.0.1\", \"vrchat_osc_port\": " +
                     std::to_string(oscLocal.port));
    // The OSC road's floor: two datagrams a sample, to the same listener.
    roads[3].name = "relay_two";
    roads[3].listener = &oscListener;
    startRelay(roads[3], ports[5], oscLocal.port, 2);
  }
  int status = 0;
  std::uint64_t number = 0;
  for (auto& road : roads) {
    const bool program = road.program;
    if (road.pid < 0 || (program && !waitForText(road.log, "[Main] Logic initialized.", 15s))) {
      std::fprintf(stderr, "latency: %s did not start:\n%s\n", road.name.c_str(), readAll(road.log).c_str());
      status = 1;
    }
    if (!program) continue;
    // The phone's greeting; the first block of samples is the warm-up.
    std::array<std::byte, owo::kHeaderSize> hello{};
    owo::writeHeader(hello, owo::kHandshake, 0);
    sender.sendTo(hello, road.input);
    std::fprintf(stderr, "latency: %s pid %d\n", road.name.c_str(), road.pid);
  }
  if (status == 0) {
    const auto deadline = Clock::now() + kRunLimit;
    const bool done = measure(roads, sender, 1000, 1000, deadline, number) &&
                      measure(roads, sender, 100, options.samples100, deadline, number) &&
                      measure(roads, sender, 1000, options.samples1000, deadline, number);
    if (!done) status = 1;
  }
  for (auto& road : roads)
    if (road.pid > 0 && stopChild(road.pid) != 0 && road.program) {
      std::fprintf(stderr, "latency: %s did not stop cleanly\n", road.name.c_str());
      status = 1;
    }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return status;
}
