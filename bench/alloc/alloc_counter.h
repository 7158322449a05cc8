#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Counts heap allocations (global operator new, replaced in the binary that links
// alloc_counter.cpp) per thread between begin() and end(), and optionally the call
// stack of each, aggregated by stack. Only calls on threads that are not marked
// uncounted, outside an UncountedScope, are counted.
namespace alloccount {

// Starts a counting window: every thread's count and the recorded stacks are reset.
void begin(bool recordStacks);
// Ends the window; the figures stay readable until the next begin().
void end();

// The calling thread is never counted (the benchmark's own threads).
void markThreadUncounted();

// Allocations inside this scope on this thread are not counted (stand-ins).
class UncountedScope {
 public:
  UncountedScope();
  ~UncountedScope();
  UncountedScope(const UncountedScope&) = delete;
  UncountedScope& operator=(const UncountedScope&) = delete;

 private:
  bool was_;
};

// One source frame: function and file:line (inlined frames are frames of their own).
struct Frame {
  std::string function;
  std::string location;  // "file:line", or the object file when there is no line
};

struct ThreadFigures {
  long tid = 0;
  long allocations = 0;
  // The thread's entry in this program (from the stack of its first allocation in
  // the window): the outermost frame of the executable.
  std::string label;
};

struct Site {
  long allocations = 0;
  std::string threadLabel;
  std::vector<Frame> stack;  // innermost first, the allocator's own frames left out
};

// Counted threads of the last window, by decreasing count. Symbolises: call after end().
std::vector<ThreadFigures> threads();
// The recorded stacks of the last window, by decreasing count.
std::vector<Site> sites();
// More distinct stacks than the table holds were seen (the rest are counted, not placed).
bool sitesOverflowed();

}  // namespace alloccount
