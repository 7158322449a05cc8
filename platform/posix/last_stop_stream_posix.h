#pragma once

#include <string>
#include <vector>

namespace platform::posix {

// What a crash writes, in order, to a connection the process already holds (the
// X server connection whose XTest keys would otherwise stay down): up to
// kLastStopStreamWrites requests of up to kLastStopStreamBytes each. Replaced as a
// whole; a negative descriptor or an empty list writes nothing. The crash handler
// writes it after the datagrams (runLastStop).
inline constexpr std::size_t kLastStopStreamWrites = 16;
inline constexpr std::size_t kLastStopStreamBytes = 64;
bool setLastStopStreamWrites(int descriptor, const std::vector<std::string>& writes);

// Writes the published requests now. Async-signal-safe.
void writeLastStopStream();

}  // namespace platform::posix
