// phone_sim: a stand-in for the phone tracker app (see --help).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/tracking/owotrack_protocol.h"
#include "platform/udp_socket.h"
#include "tools/phone_sim/phone_sim_options.h"

namespace {

using namespace tracking::owotrack;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::byte>;

std::string hex(std::span<const std::byte> data) {
  std::string text;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char digits[4];
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", std::to_integer<unsigned>(data[i]));
    text += digits;
  }
  return text;
}

class Phone {
 public:
  Phone(const phonesim::Options& options, platform::Endpoint server) : options_(options), server_(server) {}

  int run() {
    if (!socket_.open() || !socket_.bind({0, 0}) || !socket_.setReceiveTimeout(100)) {
      std::fprintf(stderr, "phone_sim: cannot open a UDP socket (error %d)\n", socket_.lastError());
      return 1;
    }
    say("phone_sim: sending to " + server_.addressText() + ":" + std::to_string(server_.port));
    receiver_ = std::thread([this] { receive(); });
    const int result = handshake() ? stream() : 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // late answers
    running_ = false;
    receiver_.join();
    summary();
    return result;
  }

 private:
  void say(const std::string& line, bool always = false) {
    if (options_.quiet && !always) return;
    std::lock_guard lock(printMutex_);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  Bytes packet(std::uint32_t type, std::size_t size) {
    Bytes data(size, std::byte{0});
    writeHeader(data, type, packetNumber_++);
    return data;
  }

  void send(const Bytes& data) {
    if (!socket_.sendTo(data, server_)) ++sendFailures_;
  }

  bool handshake() {
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(options_.handshakeTimeout));
    std::unique_lock lock(stateMutex_);
    while (handshake_ == Waiting && Clock::now() < deadline) {
      lock.unlock();
      send(packet(kHandshake, kHeaderSize));
      lock.lock();
      answered_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(500)),
                           [this] { return handshake_ != Waiting; });
    }
    if (handshake_ == Accepted) return true;
    lock.unlock();
    if (handshake_ == Waiting)
      say("phone_sim: no handshake answer from " + server_.addressText() + ":" + std::to_string(server_.port) +
              " within " + seconds(options_.handshakeTimeout) + " s",
          true);
    else
      say("phone_sim: the handshake answer is not \"Hey OVR =D 5\"; the phone would show a version mismatch", true);
    return false;
  }

  int stream() {
    const long count = static_cast<long>(options_.seconds * options_.rate);
    const auto spread = [&](int n, int k) { return options_.seconds * (k + 1) / (n + 1); };
    int tapsSent = 0, resetsSent = 0;
    double nextPing = options_.pingEvery > 0 ? 0.0 : -1.0;
    const auto start = Clock::now();
    for (long i = 0; i < count; ++i) {
      const double t = i / options_.rate;
      std::this_thread::sleep_until(start +
                                    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t)));
      if (nextPing >= 0 && t >= nextPing) {
        Bytes ping = packet(kPing, kHeaderSize);
        {
          std::lock_guard lock(stateMutex_);
          pendingPings_.push_back({ping, Clock::now(), ++pings_});
        }
        send(ping);
        nextPing += options_.pingEvery;
      }
      while (tapsSent < options_.taps && t >= spread(options_.taps, tapsSent)) {
        Bytes tap = packet(kTap, kEventSize);
        send(tap);
        ++tapsSent;
        say("phone_sim: tap " + std::to_string(tapsSent) + " sent at " + seconds(t) + " s");
      }
      while (resetsSent < options_.resets && t >= spread(options_.resets, resetsSent)) {
        Bytes reset = packet(kUserAction, kEventSize);
        reset[kHeaderSize] = std::byte{2};
        send(reset);
        ++resetsSent;
        say("phone_sim: reset " + std::to_string(resetsSent) + " sent at " + seconds(t) + " s");
      }
      const auto q = phonesim::orientation(options_.lean.at(t), options_.side.at(t));
      Bytes rotation = packet(kRotation, kRotationSize);
      for (int k = 0; k < 4; ++k) writeF32(rotation, kHeaderSize + 4 * k, q[k]);
      send(rotation);
      ++rotations_;
      if (options_.accel) {
        const bool jumping =
            std::any_of(options_.jumps.begin(), options_.jumps.end(), [t](double j) { return t >= j && t < j + 0.1; });
        Bytes accel = packet(kAcceleration, kAccelerationSize);
        writeF32(accel, kHeaderSize + 4, jumping ? static_cast<float>(options_.jumpAccel) : 0.0f);
        send(accel);
        ++accelerations_;
      }
    }
    taps_ = tapsSent;
    resets_ = resetsSent;
    return 0;
  }

  static std::string seconds(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", t);
    return text;
  }

  void receive() {
    Bytes buffer(2048);
    while (running_) {
      const platform::ReceiveResult result = socket_.receiveFrom(buffer);
      if (result.status == platform::ReceiveStatus::Truncated) {
        say("phone_sim: answer longer than " + std::to_string(buffer.size()) + " bytes, ignored");
        continue;
      }
      if (result.status != platform::ReceiveStatus::Received) continue;
      const std::span<const std::byte> data(buffer.data(), result.bytes);
      const std::string from = result.from.addressText() + ":" + std::to_string(result.from.port);
      std::unique_lock lock(stateMutex_);
      if (data.size() >= 1 && data[0] == std::byte{0x03} && handshake_ == Waiting) {
        const bool accepted =
            data.size() >= 13 && std::equal(kHandshakeAnswer.begin(), kHandshakeAnswer.begin() + 13, data.begin());
        handshake_ = accepted ? Accepted : Rejected;
        answered_.notify_all();
        lock.unlock();
        std::string text(reinterpret_cast<const char*>(data.data()) + 1, std::min<std::size_t>(data.size() - 1, 12));
        say("phone_sim: handshake answered by " + from + ": " + hex(data) + " (\"" + printable(text) + "\", " +
            (accepted ? "accepted" : "rejected") + ")");
        continue;
      }
      const auto ping = std::find_if(pendingPings_.begin(), pendingPings_.end(), [&](const PendingPing& p) {
        return std::equal(data.begin(), data.end(), p.bytes.begin(), p.bytes.end());
      });
      if (ping != pendingPings_.end()) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - ping->sent).count();
        const int number = ping->number;
        pendingPings_.erase(ping);
        ++echoes_;
        lock.unlock();
        char text[96];
        std::snprintf(text, sizeof text, "phone_sim: ping %d echoed after %.2f ms", number, ms);
        say(text);
        continue;
      }
      ++otherAnswers_;
      lock.unlock();
      say("phone_sim: answer of " + std::to_string(data.size()) + " bytes from " + from + ": " +
          hex(data.first(std::min<std::size_t>(data.size(), 32))));
    }
  }

  static std::string printable(const std::string& text) {
    std::string out;
    for (char c : text) out += (c >= 32 && c < 127) ? c : '.';
    return out;
  }

  void summary() {
    std::lock_guard lock(stateMutex_);
    char text[256];
    std::snprintf(text, sizeof text,
                  "phone_sim: sent %ld rotations, %ld accelerations, %d taps, %d resets, %d pings; "
                  "%d ping echoes, %d other answers, %ld send failures",
                  rotations_, accelerations_, taps_, resets_, pings_, echoes_, otherAnswers_, sendFailures_.load());
    say(text, true);
  }

  enum HandshakeState { Waiting, Accepted, Rejected };
  struct PendingPing {
    Bytes bytes;
    Clock::time_point sent;
    int number;
  };

  const phonesim::Options& options_;
  platform::Endpoint server_;
  platform::UdpSocket socket_;
  std::thread receiver_;
  std::atomic<bool> running_{true};
  std::mutex printMutex_;
  std::mutex stateMutex_;
  std::condition_variable answered_;
  HandshakeState handshake_ = Waiting;
  std::vector<PendingPing> pendingPings_;
  std::uint64_t packetNumber_ = 1;
  long rotations_ = 0, accelerations_ = 0;
  int taps_ = 0, resets_ = 0, pings_ = 0, echoes_ = 0, otherAnswers_ = 0;
  std::atomic<long> sendFailures_{0};
};

}  // namespace

int main(int argc, char** argv) {
  phonesim::Options options;
  std::string error;
  if (!phonesim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "phone_sim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(phonesim::usageText(), stdout);
    return 0;
  }
  platform::Endpoint server;
  if (!platform::Endpoint::parse(options.host, static_cast<std::uint16_t>(options.port), server)) {
    std::fprintf(stderr, "phone_sim: --host \"%s\" is not a dotted IPv4 address\n", options.host.c_str());
    return 2;
  }
  return Phone(options, server).run();
}
