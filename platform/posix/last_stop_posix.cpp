#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include "platform/last_stop.h"
#include "platform/posix/last_stop_stream_posix.h"

namespace platform {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

std::atomic<int> g_socket{-1};  // opened at install: socket() is not called in the handler
std::atomic<bool> g_installed{false};
std::atomic_flag g_ran = ATOMIC_FLAG_INIT;
// A stack for the handler, so a stack overflow on the installing thread still gets its last stop.
alignas(16) char g_handlerStack[64 * 1024];

void onFatalSignal(int signal) {
  const int saved = errno;
  runLastStop();
  errno = saved;
  // SA_RESETHAND restored the default action: raised now, it is delivered as the
  // handler returns (a fault re-runs its instruction and gets the default action too).
  ::raise(signal);
}

}  // namespace

void installLastStopHandler() {
  if (g_installed.exchange(true)) return;
  g_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  stack_t stack{};
  stack.ss_sp = g_handlerStack;
  stack.ss_size = sizeof g_handlerStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = &onFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  for (const int signal : kFatalSignals) ::sigaction(signal, &action, nullptr);
}

void runLastStop() {
  if (g_ran.test_and_set()) return;
  const int fd = g_socket.load();
  for (std::size_t slot = 0; slot < kLastStopSlots && fd >= 0; ++slot) {
    LastStopView view;
    if (!lastStopDatagrams(slot, view)) continue;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(view.to.port);
    to.sin_addr.s_addr = htonl(view.to.address);
    for (std::size_t i = 0; i < view.count; ++i)
      ::sendto(fd, view.bytes[i], view.lengths[i], MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
  }
  posix::writeLastStopStream();
  clearLastStopRecord();
}

namespace posix {
namespace {

struct StreamWrites {
  int descriptor = -1;
  std::size_t count = 0;
  unsigned short lengths[kLastStopStreamWrites] = {};
  char bytes[kLastStopStreamWrites][kLastStopStreamBytes] = {};
};

// Two buffers: an update fills the one not published, then flips the index.
StreamWrites g_streams[2];
std::atomic<int> g_publishedStream{-1};
std::mutex g_streamUpdates;  // between updaters only; the handler never takes it

}  // namespace

bool setLastStopStreamWrites(int descriptor, const std::vector<std::string>& writes) {
  std::lock_guard lock(g_streamUpdates);
  if (descriptor < 0 || writes.empty()) {
    g_publishedStream.store(-1, std::memory_order_release);
    return true;
  }
  const int next = g_publishedStream.load(std::memory_order_relaxed) == 0 ? 1 : 0;
  StreamWrites& buffer = g_streams[next];
  buffer.descriptor = descriptor;
  buffer.count = 0;
  bool all = true;
  for (const std::string& write : writes) {
    if (buffer.count == kLastStopStreamWrites || write.empty() || write.size() > kLastStopStreamBytes) {
      all = false;
      continue;
    }
    std::memcpy(buffer.bytes[buffer.count], write.data(), write.size());
    buffer.lengths[buffer.count] = static_cast<unsigned short>(write.size());
    ++buffer.count;
  }
  g_publishedStream.store(next, std::memory_order_release);
  return all;
}

void writeLastStopStream() {
  const int published = g_publishedStream.load(std::memory_order_acquire);
  if (published < 0) return;
  const StreamWrites& buffer = g_streams[published];
  for (std::size_t i = 0; i < buffer.count; ++i) {
    // A blocked or broken connection loses the rest: the process is dying anyway.
    if (::write(buffer.descriptor, buffer.bytes[i], buffer.lengths[i]) != buffer.lengths[i]) return;
  }
}

}  // namespace posix
}  // namespace platform
