#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/udp_socket.h"

namespace platform {

// The last stop of a crashing process: a fixed, preallocated table of datagrams
// that bring the outputs to rest and of one shared record to clear. The outputs
// update their entry whenever what they hold changes; a fatal signal (POSIX) or an
// unhandled exception or abort (Windows) sends the datagrams and zeroes the record
// with async-signal-safe calls only, then lets the process die as it would have.
// Best effort: an update racing the crash may leave one entry half written.
enum class LastStopSlot : unsigned { VRChatOsc = 0, Hook = 1 };
inline constexpr std::size_t kLastStopSlots = 2;
inline constexpr std::size_t kLastStopDatagrams = 16;
inline constexpr std::size_t kLastStopDatagramBytes = 192;

// Replaces what `slot` sends on a crash; an empty list sends nothing. Datagrams
// beyond kLastStopDatagrams, or longer than kLastStopDatagramBytes, are left out
// (the result is false then).
bool setLastStopDatagrams(LastStopSlot slot, const Endpoint& to, const std::vector<std::string>& datagrams);
// The record zeroed on a crash, or null for none. Clear it before unmapping.
void setLastStopRecord(void* record, std::size_t size);

// Installs the crash handlers once; later calls do nothing. Call early on the main thread.
void installLastStopHandler();
// Sends the datagrams and zeroes the record now, at most once per process.
// Async-signal-safe; the handlers call it.
void runLastStop();

// The table as the handlers read it (a snapshot of one slot; for the platform seams).
struct LastStopView {
  Endpoint to;
  std::size_t count = 0;
  const unsigned short* lengths = nullptr;
  const char (*bytes)[kLastStopDatagramBytes] = nullptr;
};
bool lastStopDatagrams(std::size_t slot, LastStopView& out);
// Zeroes the published record, byte by byte.
void clearLastStopRecord();

}  // namespace platform
