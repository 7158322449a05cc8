#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

namespace testsupport {

// An output stream that one thread writes while a test reads what arrived so far.
class CaptureStream : public std::ostream {
 public:
  CaptureStream() : std::ostream(&buffer_) {}

  std::string text() const {
    std::lock_guard lock(buffer_.mutex);
    return buffer_.text;
  }
  bool contains(const std::string& part) const { return text().find(part) != std::string::npos; }
  // Waits until `part` has been written (polling; bounded by `timeout`).
  bool waitFor(const std::string& part, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!contains(part)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  void clear() {
    std::lock_guard lock(buffer_.mutex);
    buffer_.text.clear();
  }

 private:
  struct Buffer : std::streambuf {
    mutable std::mutex mutex;
    std::string text;
    int_type overflow(int_type c) override {
      if (c != traits_type::eof()) {
        std::lock_guard lock(mutex);
        text.push_back(static_cast<char>(c));
      }
      return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      std::lock_guard lock(mutex);
      text.append(s, static_cast<std::size_t>(n));
      return n;
    }
  };
  Buffer buffer_;
};

}  // namespace testsupport
