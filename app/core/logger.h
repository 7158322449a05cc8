#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace core {

// The program's one log. Services log time-stamped, tagged messages; receivers and
// outputs write their console lines through it, exactly as they always appeared on
// standard output and error. The newest 1000 lines, messages and console lines
// alike, are kept time-stamped for the Debug tab.
class Logger {
 public:
  enum Level { Debug = 0, Info = 1, Warning = 2, Error = 3 };
  // Where a console line goes.
  enum class Line {
    Out,     // standard output, flushed, kept
    Err,     // standard error, flushed, kept (tagged as an error)
    Packet,  // one per datagram: standard output, not kept, flushed at most every kPacketFlushInterval
  };
  using WallClock = std::function<std::chrono::system_clock::time_point()>;

  static constexpr std::size_t kCapacity = 1000;
  static constexpr std::size_t kSlotReserve = 192;  // bytes reserved per kept line
  static constexpr std::chrono::milliseconds kPacketFlushInterval{250};

  // `errorEcho` receives the Err lines; without it they go to `echo` as well.
  explicit Logger(std::ostream* echo = &std::cout, WallClock clock = std::chrono::system_clock::now,
                  std::ostream* errorEcho = nullptr);
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void log(int level, std::string_view message);
  void info(std::string_view message) { log(Info, message); }
  void warn(std::string_view message) { log(Warning, message); }
  void error(std::string_view message) { log(Error, message); }

  // One console line, without its line end. Packet lines cost no heap allocation.
  void write(Line kind, std::string_view text);
  // Flushes packet lines still waiting in the console's buffer.
  void flushPackets();

  // Streams for code that writes to a std::ostream: every whole line written to
  // them, from any thread, becomes one Out (or Err) line.
  std::ostream& out() { return outStream_; }
  std::ostream& err() { return errStream_; }

  // A copy of the kept lines, oldest first.
  std::vector<std::string> lines() const;
  void clear();
  // Counts every line kept and every clear: changes whenever lines() would.
  std::uint64_t changes() const { return changes_.load(std::memory_order_relaxed); }

 private:
  // Gathers each thread's characters into whole lines for one kind of console line.
  class LineGatherer final : public std::streambuf {
   public:
    LineGatherer(Logger& logger, Line kind) : logger_(logger), kind_(kind) {}

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

   private:
    void gather(std::string_view text);
    Logger& logger_;
    Line kind_;
    std::mutex mutex_;
    std::vector<std::pair<std::thread::id, std::string>> partial_;  // each writing thread's unfinished line
  };

  // "HH:MM:SS.mmm", the local time of a line, built without the heap.
  struct Stamp {
    char text[16];
    std::size_t size;
    std::string_view view() const { return {text, size}; }
  };
  Stamp stamp() const;
  // Adds "<stamp> <tag> <text>" to the list, reusing the oldest slot's storage.
  void keep(const Stamp& stamp, const char* tag, std::string_view text);

  std::ostream* echo_;
  std::ostream* errorEcho_;
  WallClock clock_;
  // Writing to the console: held while a line goes out, so console and list keep one
  // order. A stalled console stalls the writers, never a reader of the list.
  std::mutex echoMutex_;
  mutable std::mutex mutex_;  // the kept lines
  // A ring of kCapacity slots, each with room reserved for a usual line, so keeping a
  // line costs no allocation once the program runs (a longer line grows its slot).
  std::vector<std::string> ring_;
  std::size_t first_ = 0;  // the oldest kept line's slot
  std::size_t kept_ = 0;   // how many slots hold a line
  std::atomic<std::uint64_t> changes_{0};
  bool packetsPending_ = false;  // under echoMutex_
  std::chrono::system_clock::time_point lastPacketFlush_{};
  LineGatherer outGatherer_{*this, Line::Out};
  LineGatherer errGatherer_{*this, Line::Err};
  std::ostream outStream_{&outGatherer_};
  std::ostream errStream_{&errGatherer_};
};

}  // namespace core
