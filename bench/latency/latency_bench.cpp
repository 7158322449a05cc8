// Latency from a phone rotation datagram leaving the simulator to the resulting hook
// datagram arriving at a listener on 127.0.0.1:4445, through a running
// strivovr-headless ("SteamVR Hook" output), beside a bare UDP relay (receive one
// datagram, send one) as the floor. Samples alternate between the two roads at each
// rate, so both see the same machine load. Loopback only; bounded in samples and time.
//
// Prints one "result" line per road and rate (median and 99th percentile in
// microseconds, CPU time per sample of the whole process, peak memory); run.sh turns
// them into the ratio to the floor.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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

// The relay: every datagram received on `inPort` is sent on to 127.0.0.1:4445.
int runRelay(std::uint16_t inPort) {
  platform::UdpSocket socket;
  if (!socket.open() || !socket.bind(platform::Endpoint::loopback(inPort))) return 1;
  const auto out = platform::Endpoint::loopback(hook::kDriverPort);
  std::array<std::byte, 2048> buffer{};
  for (;;) {
    const auto result = socket.receiveFrom(buffer);
    if (result.status == platform::ReceiveStatus::Closed) return 0;
    if (result.status != platform::ReceiveStatus::Received) continue;
    socket.sendTo(std::span<const std::byte>(buffer.data(), result.bytes), out);
  }
}

// A rotation of the phone leaning forward by 10 or 14 degrees (alternating), so every
// sample differs from the one before and yields a new stick value.
std::array<std::byte, owo::kRotationSize> rotation(std::uint64_t number, int lean) {
  std::array<std::byte, owo::kRotationSize> packet{};
  const double half = (lean ? 14.0 : 10.0) * M_PI / 360.0;
  owo::writeHeader(packet, owo::kRotation, number);
  owo::writeF32(packet, 12, static_cast<float>(std::sin(half)));
  owo::writeF32(packet, 16, 0.0f);
  owo::writeF32(packet, 20, 0.0f);
  owo::writeF32(packet, 24, static_cast<float>(std::cos(half)));
  return packet;
}

struct Road {
  std::string name;
  pid_t pid = -1;
  platform::Endpoint input;
  bool relay = false;
  std::vector<double> micros;
  int lost = 0;
  std::uint64_t sent = 0;  // samples sent on this road; their parity picks the lean
  // The program's stick text for each lean (the two alternate): a reply that does not
  // match its sample's lean answers some other sample and is counted here.
  std::string stickFor[2];
  int mismatched = 0;
  double cpuStart = 0;
};

// Waits for the answer to `packet` on the listener: for the relay the same bytes, for
// the program a stick message. Other datagrams are skipped. Microseconds, or -1.
double awaitReply(platform::UdpSocket& listener, Road& road, std::span<const std::byte> packet, int lean,
                  Clock::time_point sent) {
  std::array<std::byte, 2048> buffer{};
  for (;;) {
    const auto result = listener.receiveFrom(buffer);
    const auto now = Clock::now();
    if (result.status == platform::ReceiveStatus::Received) {
      const std::span<const std::byte> got(buffer.data(), result.bytes);
      const std::string_view text(reinterpret_cast<const char*>(got.data()), got.size());
      bool match = false;
      if (road.relay) {
        match = std::equal(got.begin(), got.end(), packet.begin(), packet.end());
      } else {
        const auto kind = hook::parse(text).kind;
        match = kind == hook::Kind::HandStick || kind == hook::Kind::SerialStick;
        std::string& expected = road.stickFor[lean];
        if (match && expected.empty()) expected = text;
        if (match && expected != text) ++road.mismatched;
      }
      if (match) return std::chrono::duration<double, std::micro>(now - sent).count();
    }
    if (now - sent > kReplyTimeout) return -1;
  }
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
  return values[std::min(index, values.size() - 1)];
}

bool measure(std::vector<Road>& roads, platform::UdpSocket& sender, platform::UdpSocket& listener, int rate,
             int samples, Clock::time_point deadline, std::uint64_t& number) {
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
      const auto sent = Clock::now();
      sender.sendTo(packet, road.input);
      const double micros = awaitReply(listener, road, packet, lean, sent);
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
  if (argc == 3 && std::string(argv[1]) == "--relay") return runRelay(static_cast<std::uint16_t>(std::atoi(argv[2])));
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: latency_bench --program <strivovr-headless> [--samples-100 N] [--samples-1000 N] [--control]\n");
    return 2;
  }

  platform::UdpSocket listener, sender;
  if (!listener.open() || !listener.bind(platform::Endpoint::loopback(hook::kDriverPort))) {
    std::fprintf(stderr, "latency: cannot listen on 127.0.0.1:%u (in use?)\n", hook::kDriverPort);
    return 1;
  }
  listener.setReceiveTimeout(10);
  if (!sender.open() || !sender.bind(platform::Endpoint::loopback(0))) return 1;

  // Two ports that were free a moment ago: the program's phone port and the relay's.
  std::uint16_t ports[2] = {};
  for (auto& port : ports) {
    platform::UdpSocket probe;
    platform::Endpoint local;
    if (!probe.open() || !probe.bind(platform::Endpoint::loopback(0)) || !probe.localEndpoint(local)) return 1;
    port = local.port;
  }

  char pattern[] = "/tmp/strivo_latency_XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const fs::path home = pattern;
  fs::create_directories(home / "config/StrivoVR");
  std::ofstream(home / "config/StrivoVR/usersettings.json")
      << "{\"owotrack_input_port\": " << ports[0] << ", \"mode\": \"SteamVR Hook\"}";
  const std::vector<std::string> env{"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                                     "XDG_RUNTIME_DIR=" + home.string(), "PATH=/usr/bin:/bin"};
  const std::string programLog = (home / "program.log").string();
  const std::string folder = fs::path(options.program).parent_path().string();

  std::vector<Road> roads(2);
  roads[0].name = "relay";
  roads[0].pid =
      spawn({options.self, "--relay", std::to_string(ports[1])}, env, (home / "relay.log").string(), home.string());
  roads[0].input = platform::Endpoint::loopback(ports[1]);
  roads[0].relay = true;
  roads[1].name = "program";
  roads[1].input = platform::Endpoint::loopback(ports[0]);
  if (options.control) {
    roads[1].name = "relay2";
    roads[1].relay = true;
    roads[1].pid = spawn({options.self, "--relay", std::to_string(ports[0])}, env, programLog, home.string());
    std::ofstream(programLog, std::ios::app) << "[Main] Logic initialized.\n";
  } else {
    roads[1].pid = spawn({fs::absolute(options.program).string()}, env, programLog, folder);
  }
  int status = 0;
  std::uint64_t number = 0;
  if (roads[0].pid < 0 || roads[1].pid < 0 || !waitForText(programLog, "[Main] Logic initialized.", 15s)) {
    std::fprintf(stderr, "latency: the program did not start:\n%s\n", readAll(programLog).c_str());
    status = 1;
  } else {
    // The phone's greeting, then a second of samples the program may spend warming up.
    const std::array<std::byte, owo::kHeaderSize> hello = [] {
      std::array<std::byte, owo::kHeaderSize> packet{};
      owo::writeHeader(packet, owo::kHandshake, 0);
      return packet;
    }();
    sender.sendTo(hello, roads[1].input);
    std::fprintf(stderr, "latency: program pid %d, relay pid %d\n", roads[1].pid, roads[0].pid);
    const auto deadline = Clock::now() + kRunLimit;
    const bool done = measure(roads, sender, listener, 1000, 1000, deadline, number) &&
                      measure(roads, sender, listener, 100, options.samples100, deadline, number) &&
                      measure(roads, sender, listener, 1000, options.samples1000, deadline, number);
    if (!done) status = 1;
  }
  for (auto& road : roads)
    if (road.pid > 0 && stopChild(road.pid) != 0 && !road.relay) {
      std::fprintf(stderr, "latency: the program did not stop cleanly\n");
      status = 1;
    }
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return status;
}
