#pragma once

#include <sys/types.h>

// What /proc tells about another process (Linux): for the latency benchmark.
namespace benchstats {

// User plus system CPU time the process has used so far, in seconds; 0 when unknown.
double cpuSeconds(pid_t pid);
// The process's peak resident memory (VmHWM) in KiB; -1 when unknown.
long peakKib(pid_t pid);

}  // namespace benchstats
