// Heap allocations per phone sample on each of the five roads, phone to output, in
// the whole program: owoTrack rotation datagrams go over loopback UDP to the phone
// server of an Application whose output mode is that road's; each sample waits until
// the output has sent the stick. The outputs end in stand-ins: a recording key
// injector, the recording /dev/uinput (umockdev; the benchmark restarts itself with
// its preload library), UDP sinks on 127.0.0.1 (VRChat OSC, the hook's port 4445)
// and the OpenXR input record in shared memory.
//
// Only allocations between the warm-up's end and the last sample are counted, per
// thread, without the benchmark's own threads and the stand-ins. Measures and prints;
// asserts nothing.
//
// Usage: road_alloc_bench [--samples N] [--road <mode>] [--sites <file.md>]
//   --sites  also records the call stack of every counted allocation and writes them,
//            aggregated, to the file (slower; the counts are the same).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "app/tracking/owotrack_protocol.h"
#include "bench/alloc/alloc_counter.h"
#include "bench/alloc/program_under_test.h"
#include "common/xr/shared_records.h"
#include "platform/udp_socket.h"
#include "testing/recording_key_injector.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"

namespace {

namespace fs = std::filesystem;
namespace owo = tracking::owotrack;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWarmUp = 500;
constexpr int kMaxSamples = 100000;
constexpr auto kSampleTimeout = 100ms;  // a sample not through by then is lost
constexpr int kMaxLost = 20;            // more lost than this ends the road
constexpr std::uint16_t kHookPort = 4445;

const char* const kRoads[] = {"Keyboard", "Xbox Controller (vJoy)", "VRChat OSC", "SteamVR Hook", "OpenXR API Layer"};

// Discards what the program prints, keeping the last few kilobytes for a failure report.
class TailBuffer : public std::streambuf {
 public:
  std::string tail() const {
    std::string text;
    for (std::size_t i = 0; i < kSize; ++i) {
      const char c = ring_[(next_ + i) % kSize];
      if (c) text += c;
    }
    return text;
  }

 protected:
  int overflow(int c) override {
    if (c != EOF) put(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) put(s[i]);
    return n;
  }

 private:
  static constexpr std::size_t kSize = 4096;
  void put(char c) { ring_[next_++ % kSize] = c; }
  char ring_[kSize]{};
  std::size_t next_ = 0;
};

// The recording key injector, its own bookkeeping left out of the count.
class UncountedRecordingKeys : public platform::IKeyInjector {
 public:
  bool sendKey(std::uint16_t virtualKey, bool down) override {
    alloccount::UncountedScope quiet;
    return keys_.sendKey(virtualKey, down);
  }
  long events() const { return static_cast<long>(keys_.events().size()); }

 private:
  testsupport::RecordingKeyInjector keys_;
};

// Reads and drops every datagram arriving on the sinks, on a thread of its own.
class SinkDrain {
 public:
  // Datagrams drained from each socket so far.
  long received(std::size_t index) const { return index < kMaxSinks ? received_[index].load() : 0; }

  explicit SinkDrain(std::vector<int> sockets) : sockets_(std::move(sockets)) {
    thread_ = std::thread([this] {
      alloccount::markThreadUncounted();
      std::vector<pollfd> fds;
      for (int fd : sockets_) fds.push_back({fd, POLLIN, 0});
      char buffer[2048];
      while (!stop_) {
        if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
        for (std::size_t i = 0; i < fds.size() && i < kMaxSinks; ++i)
          while ((fds[i].revents & POLLIN) && ::recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0)
            ++received_[i];
      }
    });
  }
  ~SinkDrain() {
    stop_ = true;
    thread_.join();
  }

 private:
  static constexpr std::size_t kMaxSinks = 2;
  std::vector<int> sockets_;
  std::atomic<long> received_[kMaxSinks]{};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int boundUdp(std::uint16_t port, std::uint16_t* bound) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t size = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  if (bound) *bound = ntohs(address.sin_port);
  return fd;
}

std::uint16_t freePort() {
  std::uint16_t port = 0;
  const int fd = boundUdp(0, &port);
  if (fd >= 0) ::close(fd);
  return port;
}

// A rotation of the phone leaning forward by 20 or 24 degrees (alternating; the lean
// turns about the quaternion's y axis, as phone_sim sends it), so each sample yields
// a new stick value.
std::array<std::byte, owo::kRotationSize> rotation(std::uint64_t number) {
  std::array<std::byte, owo::kRotationSize> packet{};
  const double half = (number % 2 ? 24.0 : 20.0) * M_PI / 360.0;
  owo::writeHeader(packet, owo::kRotation, number);
  owo::writeF32(packet, 16, static_cast<float>(std::sin(half)));
  owo::writeF32(packet, 24, static_cast<float>(std::cos(half)));
  return packet;
}

// What the stand-ins at the ends of the roads have seen so far.
struct Evidence {
  long keyEvents = 0;
  long uinputSteps = 0;
  long oscDatagrams = 0;
  long hookDatagrams = 0;
  std::uint32_t recordSequence = 0;  // the OpenXR input record's
};

std::uint32_t inputRecordSequence() {
  std::uint32_t sequence = 0;
  std::ifstream record(std::string("/dev/shm/") + xrshm::kInputRecordName, std::ios::binary);
  record.read(reinterpret_cast<char*>(&sequence), sizeof sequence);
  return record ? sequence : 0;
}

struct RoadResult {
  std::string mode;
  std::string problem;  // empty when measured
  int samples = 0;
  int lost = 0;
  double millis = 0;
  Evidence before, after;  // around the counted samples
  std::vector<alloccount::ThreadFigures> threads;
  std::vector<alloccount::Site> sites;
};

// Sends the samples from the calling (uncounted) thread; each waits for the output.
void drive(benchprogram::Program& program, platform::UdpSocket& sender, platform::Endpoint phone, int samples,
           bool recordStacks, const std::function<Evidence()>& evidence, RoadResult& result) {
  std::array<std::byte, owo::kHeaderSize> hello{};
  owo::writeHeader(hello, owo::kHandshake, 0);
  for (const auto end = Clock::now() + 10s; program.phonePackets() == 0; std::this_thread::sleep_for(20ms)) {
    if (Clock::now() > end) {
      result.problem = "the phone server did not answer the handshake";
      return;
    }
    sender.sendTo(hello, phone);
  }
  std::uint64_t number = 0;
  const auto sample = [&] {
    const std::uint64_t before = program.outputMessages();
    const auto packet = rotation(++number);
    sender.sendTo(packet, phone);
    for (const auto end = Clock::now() + kSampleTimeout; program.outputMessages() == before;) {
      if (Clock::now() > end) return false;
      std::this_thread::yield();
    }
    return true;
  };
  for (int i = 0; i < kWarmUp; ++i)
    if (!sample() && ++result.lost > kMaxLost) {
      result.problem = "the warm-up's samples did not reach the output";
      return;
    }
  result.lost = 0;
  result.before = evidence();
  const auto start = Clock::now();
  alloccount::begin(recordStacks);
  for (int i = 0; i < samples; ++i) {
    if (sample()) {
      ++result.samples;
    } else if (++result.lost > kMaxLost) {
      result.problem = "more than " + std::to_string(kMaxLost) + " samples lost";
      break;
    }
  }
  std::this_thread::sleep_for(1ms);  // the last sample's tail after its send
  alloccount::end();
  result.millis = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::this_thread::sleep_for(50ms);  // the sinks' drain catches up
  result.after = evidence();
}

struct StandIns {
  testsupport::UinputStandIn& uinput;
  const SinkDrain& sinks;
  std::uint16_t oscSinkPort = 0;
};

RoadResult runRoad(const std::string& mode, int samples, bool recordStacks, const StandIns& standIns) {
  RoadResult result;
  result.mode = mode;
  char pattern[] = "/tmp/strivo_road_alloc_XXXXXX";
  if (!::mkdtemp(pattern)) {
    result.problem = "no temporary folder";
    return result;
  }
  const fs::path folder = pattern;
  const std::uint16_t phonePort = freePort();
  benchprogram::ProgramSetup setup;
  setup.dataFolder = folder.string();
  setup.settingsJson =
      "{\"mode\": \"" + mode +
      "\", \"tracker_source\": \"Phone\", \"check_for_updates\": false, \"owotrack_input_port\": " +
      std::to_string(phonePort) + ", \"osc_input_port\": " + std::to_string(freePort()) +
      ", \"vrchat_osc_address\": \"127.0.0.1\", \"vrchat_osc_port\": " + std::to_string(standIns.oscSinkPort) + "}";
  TailBuffer printed;
  std::ostream out(&printed);
  setup.out = &out;
  auto keys = std::make_shared<UncountedRecordingKeys>();
  setup.keyInjector = keys;
  const auto evidence = [&] {
    return Evidence{keys->events(), static_cast<long>(standIns.uinput.steps().size()), standIns.sinks.received(0),
                    standIns.sinks.received(1), inputRecordSequence()};
  };
  platform::UdpSocket sender;
  if (!sender.open() || !sender.bind(platform::Endpoint::loopback(0))) {
    result.problem = "no sending socket";
    return result;
  }
  benchprogram::run(setup, [&](benchprogram::Program& program) {
    drive(program, sender, platform::Endpoint::loopback(phonePort), samples, recordStacks, evidence, result);
  });
  if (!result.problem.empty()) result.problem += "; the program's last lines:\n" + printed.tail();
  if (std::getenv("ROAD_ALLOC_DEBUG")) std::fprintf(stderr, "%s\n", printed.tail().c_str());
  result.threads = alloccount::threads();
  if (recordStacks) result.sites = alloccount::sites();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return result;
}

bool isStandIn(const std::string& label) { return label.find("testsupport::") != std::string::npos; }

void print(const RoadResult& road) {
  std::printf("road \"%s\": ", road.mode.c_str());
  if (!road.problem.empty()) std::printf("NOT MEASURED (%s)\n", road.problem.c_str());
  if (road.samples == 0) return;
  long total = 0;
  for (const auto& t : road.threads)
    if (!isStandIn(t.label)) total += t.allocations;
  std::printf("%d samples after %d warm-up, %d lost, %.0f ms\n", road.samples, kWarmUp, road.lost, road.millis);
  const Evidence& a = road.after;
  const Evidence& b = road.before;
  std::printf(
      "  at the outputs meanwhile: %ld key events (%ld before), %ld uinput writes/ioctls, %ld OSC and %ld hook "
      "datagrams, "
      "OpenXR record sequence +%u\n",
      a.keyEvents - b.keyEvents, b.keyEvents, a.uinputSteps - b.uinputSteps, a.oscDatagrams - b.oscDatagrams,
      a.hookDatagrams - b.hookDatagrams, a.recordSequence - b.recordSequence);
  std::printf("  %.3f allocations per sample on all of the program's threads\n",
              static_cast<double>(total) / road.samples);
  for (const auto& t : road.threads)
    if (!isStandIn(t.label))
      std::printf("    %8.3f per sample  %7ld in all  thread %ld: %s\n",
                  static_cast<double>(t.allocations) / road.samples, t.allocations, t.tid, t.label.c_str());
}

// Where our source folders begin in a debug-info path (objects may come from a
// compiler cache, built in another checkout): the path from there, or empty.
std::string sourceRelative(const std::string& location) {
  if (location.rfind("/usr/", 0) == 0) return {};
  static const char* const kTops[] = {"/app/",   "/platform/", "/common/", "/driver/",
                                      "/layer/", "/testing/",  "/tools/",  "/uninstaller/"};
  std::size_t at = std::string::npos;
  for (const char* top : kTops) at = std::min(at, location.find(top));
  return at == std::string::npos ? std::string() : location.substr(at + 1);
}

bool isOurs(const alloccount::Frame& frame) { return !sourceRelative(frame.location).empty(); }

// Standard-library names as one writes them.
std::string readable(std::string text) {
  static const std::pair<std::string, std::string> kNames[] = {
      {"std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >", "std::string"},
      {"std::basic_string_view<char, std::char_traits<char> >", "std::string_view"},
      {"std::__cxx11::", "std::"}};
  for (const auto& [from, to] : kNames)
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  return text;
}

// The sites of one road as Markdown: per thread, each distinct path through our code.
void writeSites(std::FILE* file, const RoadResult& road) {
  std::fprintf(file, "## Road \"%s\"\n\n", road.mode.c_str());
  if (road.samples == 0) {
    std::fprintf(file, "Not measured: %s\n\n", road.problem.c_str());
    return;
  }
  // thread -> (our path + allocating call) -> count
  std::map<std::string, std::map<std::string, long>> byThread;
  std::map<std::string, long> threadTotals;
  for (const alloccount::Site& site : road.sites) {
    if (isStandIn(site.threadLabel)) continue;
    // The library call that allocates: its innermost frame and the one our code called.
    std::string innermost = "?", entered;
    std::vector<const alloccount::Frame*> ours;
    for (const alloccount::Frame& frame : site.stack) {
      if (isOurs(frame)) {
        ours.push_back(&frame);
      } else if (ours.empty()) {
        const bool allocator = frame.function.find("allocat") != std::string::npos;
        if (innermost == "?" && !allocator) innermost = frame.function;
        entered = frame.function;
      }
    }
    if (innermost == "?" && !entered.empty()) innermost = entered;
    if (!entered.empty() && entered != innermost) innermost += "`, entered through `" + entered;
    std::string text;
    if (ours.empty()) {
      text = "- `" + innermost + "` (no frame of ours; outermost: `" +
             (site.stack.empty() ? std::string("?") : site.stack.back().function) + "`)";
    } else {
      text = "`" + ours.front()->function + "` at " + sourceRelative(ours.front()->location) + "\n  - allocates in `" +
             innermost + "`\n  - called from: ";
      for (std::size_t i = 1; i < ours.size() && i < 9; ++i)
        text += (i > 1 ? " ← " : "") + std::string("`") + ours[i]->function + "` (" +
                sourceRelative(ours[i]->location) + ")";
      if (ours.size() == 1) text += "(the thread's entry)";
      if (ours.size() > 9) text += " ← …";
    }
    byThread[site.threadLabel][readable(text)] += site.allocations;
    threadTotals[site.threadLabel] += site.allocations;
  }
  if (byThread.empty()) std::fprintf(file, "No allocation counted: %d samples.\n\n", road.samples);
  std::vector<std::string> order;  // the busiest thread first
  for (const auto& entry : byThread) order.push_back(entry.first);
  std::sort(order.begin(), order.end(),
            [&](const std::string& a, const std::string& b) { return threadTotals[a] > threadTotals[b]; });
  for (const std::string& thread : order) {
    const auto& paths = byThread[thread];
    std::fprintf(file, "### Thread `%s`: %.3f allocations per sample\n\n", thread.c_str(),
                 static_cast<double>(threadTotals[thread]) / road.samples);
    std::vector<std::pair<long, std::string>> sorted;
    for (const auto& [text, count] : paths) sorted.push_back({count, text});
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [count, text] : sorted) {
      if (text.rfind("- ", 0) == 0)
        std::fprintf(file, "- **%.3f / sample** (%ld) %s\n", static_cast<double>(count) / road.samples, count,
                     text.c_str() + 2);
      else
        std::fprintf(file, "- **%.3f / sample** (%ld) %s\n", static_cast<double>(count) / road.samples, count,
                     text.c_str());
    }
    std::fprintf(file, "\n");
  }
}

// The pad road needs umockdev's preload library in this process from its start.
void restartWithPreload(char** argv) {
  if (testsupport::uinputPreloadActive() || std::getenv("STRIVO_ROAD_ALLOC_RESTARTED")) return;
  std::string preload = testsupport::UinputStandIn::kPreload;
  if (const char* existing = std::getenv("LD_PRELOAD"); existing && *existing) preload += std::string(":") + existing;
  ::setenv("LD_PRELOAD", preload.c_str(), 1);
  ::setenv("STRIVO_ROAD_ALLOC_RESTARTED", "1", 1);
  ::execv("/proc/self/exe", argv);
}

}  // namespace

int main(int argc, char** argv) {
  restartWithPreload(argv);
  alloccount::markThreadUncounted();
  int samples = 10000;
  std::string only, sitesPath;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--samples")
      samples = std::clamp(std::atoi(argv[i + 1]), 1, kMaxSamples);
    else if (flag == "--road")
      only = argv[i + 1];
    else if (flag == "--sites")
      sitesPath = argv[i + 1];
  }
  if (argc % 2 == 0) {
    std::fprintf(stderr, "usage: road_alloc_bench [--samples N] [--road <mode>] [--sites <file.md>]\n");
    return 2;
  }

  testsupport::UinputStandIn uinput;
  std::uint16_t oscSinkPort = 0;
  const int oscSink = boundUdp(0, &oscSinkPort);
  const int hookSink = boundUdp(kHookPort, nullptr);
  if (oscSink < 0) return 1;
  if (hookSink < 0)
    std::printf("note: 127.0.0.1:%u is in use; the hook's datagrams go to whoever holds it\n", kHookPort);
  std::vector<int> sinks{oscSink};
  if (hookSink >= 0) sinks.push_back(hookSink);
  SinkDrain drain(sinks);
  if (!uinput.problem().empty()) std::printf("note: no /dev/uinput stand-in: %s\n", uinput.problem().c_str());

  std::FILE* sitesFile = sitesPath.empty() ? nullptr : std::fopen(sitesPath.c_str(), "w");
  if (!sitesPath.empty() && !sitesFile) return 1;
  if (sitesFile)
    std::fprintf(sitesFile,
                 "# Allocation sites on the sample path\n\n"
                 "From `road_alloc_bench --samples %d --sites`: every heap allocation (operator new) counted while the "
                 "phone's samples run through the whole program, grouped by thread and by the path through our code. "
                 "Each entry gives the innermost function of ours that allocates, the standard-library call it "
                 "allocates in, and its callers.\n\n",
                 samples);
  std::printf("road_alloc_bench: heap allocations (operator new) per phone sample, %d samples a road\n", samples);
  for (const char* mode : kRoads) {
    if (!only.empty() && only != mode) continue;
    const RoadResult road = runRoad(mode, samples, sitesFile != nullptr, StandIns{uinput, drain, oscSinkPort});
    print(road);
    std::fflush(stdout);
    if (sitesFile) writeSites(sitesFile, road);
  }
  if (sitesFile) {
    if (alloccount::sitesOverflowed()) std::fprintf(sitesFile, "(More distinct stacks than recorded.)\n");
    std::fclose(sitesFile);
  }
  ::close(oscSink);
  if (hookSink >= 0) ::close(hookSink);
  return 0;
}
