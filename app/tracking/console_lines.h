#pragma once

#include <iostream>
#include <mutex>
#include <string_view>

namespace tracking {

// Whole diagnostic lines to standard output and standard error, one writer at a time,
// so lines from the OpenVR threads never interleave.
class ConsoleLines {
 public:
  ConsoleLines(std::ostream& out = std::cout, std::ostream& err = std::cerr) : out_(out), err_(err) {}

  void out(std::string_view line) { write(out_, line); }
  void err(std::string_view line) { write(err_, line); }

 private:
  void write(std::ostream& stream, std::string_view line) {
    std::lock_guard lock(mutex_);
    stream << line << '\n' << std::flush;
  }

  std::ostream& out_;
  std::ostream& err_;
  std::mutex mutex_;
};

}  // namespace tracking
