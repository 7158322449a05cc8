#include "app/core/logger.h"

#include <algorithm>
#include <ctime>

namespace core {
namespace {

const char* tagFor(int level) {
  switch (level) {
    case Logger::Debug:
      return "[DEBUG]";
    case Logger::Info:
      return "[INFO ]";
    case Logger::Warning:
      return "[WARN ]";
    case Logger::Error:
      return "[ERROR]";
    default:
      return "";
  }
}

std::tm localTime(std::time_t seconds) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return local;
}

}  // namespace

Logger::Logger(std::ostream* echo, WallClock clock, std::ostream* errorEcho)
    : echo_(echo), errorEcho_(errorEcho ? errorEcho : echo), clock_(std::move(clock)), ring_(kCapacity) {
  for (std::string& slot : ring_) slot.reserve(kSlotReserve);
}

Logger::Stamp Logger::stamp() const {
  const auto sinceEpoch = clock_().time_since_epoch();
  const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - wholeSeconds).count();
  if (millis < 0) millis += 1000;
  const std::tm local = localTime(static_cast<std::time_t>(wholeSeconds.count()));
  Stamp stamp{};
  stamp.size = std::strftime(stamp.text, sizeof stamp.text, "%H:%M:%S", &local);
  stamp.text[stamp.size++] = '.';
  for (int divisor = 100; divisor > 0; divisor /= 10)
    stamp.text[stamp.size++] = static_cast<char>('0' + millis / divisor % 10);
  return stamp;
}

void Logger::keep(const Stamp& stamp, const char* tag, std::string_view text) {
  std::lock_guard lock(mutex_);
  std::string& slot = ring_[(first_ + kept_) % kCapacity];
  if (kept_ < kCapacity)
    ++kept_;
  else
    first_ = (first_ + 1) % kCapacity;
  slot.assign(stamp.view()).append(" ").append(tag).append(" ").append(text);
  changes_.fetch_add(1, std::memory_order_relaxed);
}

void Logger::log(int level, std::string_view message) {
  std::lock_guard lock(echoMutex_);
  const Stamp now = stamp();
  const char* tag = tagFor(level);
  keep(now, tag, message);
  if (echo_) *echo_ << now.view() << ' ' << tag << ' ' << message << std::endl;
  packetsPending_ = false;
}

void Logger::write(Line kind, std::string_view text) {
  std::lock_guard lock(echoMutex_);
  std::ostream* echo = kind == Line::Err ? errorEcho_ : echo_;
  if (echo) {
    echo->write(text.data(), static_cast<std::streamsize>(text.size()));
    echo->put('\n');
  }
  if (kind != Line::Packet) {
    keep(stamp(), kind == Line::Err ? tagFor(Error) : tagFor(Info), text);
    if (echo) echo->flush();
    if (echo_ && echo_ != echo) echo_->flush();  // packet lines before an error line show first
    packetsPending_ = false;
    return;
  }
  // A console line per datagram would cost a system call each if flushed: at most a few a second.
  const auto now = clock_();
  if (now < lastPacketFlush_ || now - lastPacketFlush_ >= kPacketFlushInterval) {
    if (echo) echo->flush();
    lastPacketFlush_ = now;
    packetsPending_ = false;
  } else {
    packetsPending_ = true;
  }
}

void Logger::flushPackets() {
  std::lock_guard lock(echoMutex_);
  if (!packetsPending_) return;
  if (echo_) echo_->flush();
  lastPacketFlush_ = clock_();
  packetsPending_ = false;
}

std::vector<std::string> Logger::lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  lines.reserve(kept_);
  for (std::size_t i = 0; i < kept_; ++i) lines.push_back(ring_[(first_ + i) % kCapacity]);
  return lines;
}

void Logger::clear() {
  std::lock_guard lock(mutex_);
  first_ = 0;
  kept_ = 0;
  changes_.fetch_add(1, std::memory_order_relaxed);
}

Logger::LineGatherer::int_type Logger::LineGatherer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  gather(std::string_view(&character, 1));
  return c;
}

std::streamsize Logger::LineGatherer::xsputn(const char* text, std::streamsize count) {
  gather(std::string_view(text, static_cast<std::size_t>(count)));
  return count;
}

void Logger::LineGatherer::gather(std::string_view text) {
  std::lock_guard lock(mutex_);
  const std::thread::id writer = std::this_thread::get_id();
  auto entry = std::find_if(partial_.begin(), partial_.end(), [&](const auto& e) { return e.first == writer; });
  if (entry == partial_.end()) entry = partial_.insert(partial_.end(), {writer, std::string()});
  std::string& line = entry->second;
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
    line.append(text.substr(0, end));
    logger_.write(kind_, line);
    line.clear();
    text.remove_prefix(end + 1);
  }
  line.append(text);
  if (line.empty()) partial_.erase(entry);
}

}  // namespace core
