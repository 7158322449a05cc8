// Stand-in for the virtual pad bus's client library. It exports the same C functions,
// keeps a text record of every call, and lets a test choose the results of connect
// and target_add through its own fake_vigem_* exports.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Report {
  std::uint16_t buttons;
  std::uint8_t leftTrigger, rightTrigger;
  std::int16_t lx, ly, rx, ry;
};
static_assert(sizeof(Report) == 12);

std::mutex mutex;
std::string calls;
std::uint32_t connectResult = 0x20000000u;
std::uint32_t addResult = 0x20000000u;
int clients = 0;  // live handles, so a test sees leaks
int targets = 0;
char clientTag, targetTag;  // handles are addresses inside this library

void note(const std::string& text) {
  std::lock_guard lock(mutex);
  calls += text;
  calls += ';';
}

}  // namespace

FAKE_EXPORT void* vigem_alloc() {
  note("alloc");
  ++clients;
  return &clientTag;
}
FAKE_EXPORT void vigem_free(void* client) {
  note(client == &clientTag ? "free" : "free(bad)");
  --clients;
}
FAKE_EXPORT std::uint32_t vigem_connect(void* client) {
  note(client == &clientTag ? "connect" : "connect(bad)");
  return connectResult;
}
FAKE_EXPORT void vigem_disconnect(void* client) { note(client == &clientTag ? "disconnect" : "disconnect(bad)"); }
FAKE_EXPORT void* vigem_target_x360_alloc() {
  note("target_x360_alloc");
  ++targets;
  return &targetTag;
}
FAKE_EXPORT void vigem_target_free(void* target) {
  note(target == &targetTag ? "target_free" : "target_free(bad)");
  --targets;
}
FAKE_EXPORT std::uint32_t vigem_target_add(void* client, void* target) {
  note(client == &clientTag && target == &targetTag ? "target_add" : "target_add(bad)");
  return addResult;
}
FAKE_EXPORT std::uint32_t vigem_target_remove(void* client, void* target) {
  note(client == &clientTag && target == &targetTag ? "target_remove" : "target_remove(bad)");
  return 0x20000000u;
}
// The report travels by value, as the library declares it.
FAKE_EXPORT std::uint32_t vigem_target_x360_update(void* client, void* target, Report report) {
  char text[96];
  std::snprintf(text, sizeof text, "update(%s,%u,%u,%u,%d,%d,%d,%d)",
                client == &clientTag && target == &targetTag ? "ok" : "bad", report.buttons, report.leftTrigger,
                report.rightTrigger, report.lx, report.ly, report.rx, report.ry);
  note(text);
  return 0x20000000u;
}

// Test controls.
FAKE_EXPORT void fake_vigem_reset(std::uint32_t connect, std::uint32_t add) {
  std::lock_guard lock(mutex);
  calls.clear();
  connectResult = connect;
  addResult = add;
  clients = targets = 0;
}
// Copies the call record into `buffer` (cut to fit); returns its full length.
FAKE_EXPORT std::size_t fake_vigem_calls(char* buffer, std::size_t size) {
  std::lock_guard lock(mutex);
  if (size > 0) {
    const std::size_t n = calls.size() < size - 1 ? calls.size() : size - 1;
    calls.copy(buffer, n);
    buffer[n] = '\0';
  }
  return calls.size();
}
FAKE_EXPORT int fake_vigem_live_handles() { return clients + targets; }
