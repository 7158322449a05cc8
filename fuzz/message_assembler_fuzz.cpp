// SolarXR message reassembly, fed random sequences of pieces: every message that
// ends and fits comes out as exactly the bytes of its pieces, and one that does not
// fit comes out not at all, without disturbing the next.
#include <cstring>
#include <vector>

#include "app/tracking/message_assembler.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small limit, so that short inputs reach it; the first byte picks it.
  if (size == 0) return 0;
  const std::size_t limit = data[0] % 64;
  tracking::MessageAssembler assembler(limit);
  std::vector<std::uint8_t> expected;
  std::size_t at = 1;
  // Each piece: a byte (bit 7: last piece; bits 0-6: length), then that many bytes.
  while (at < size) {
    const bool last = (data[at] & 0x80) != 0;
    const std::size_t length = std::min<std::size_t>(data[at] & 0x7F, size - at - 1);
    ++at;
    // An exact-size heap copy: a read past the piece is a finding.
    std::vector<std::uint8_t> piece(data + at, data + at + length);
    at += length;
    expected.insert(expected.end(), piece.begin(), piece.end());
    const auto message = assembler.add(piece, last);
    if (!last || expected.size() > limit) {
      FUZZ_CHECK(!message);
    } else {
      FUZZ_CHECK(message && message->size() == expected.size());
      FUZZ_CHECK(expected.empty() || std::memcmp(message->data(), expected.data(), expected.size()) == 0);
    }
    if (last) expected.clear();
    if (length % 17 == 16) {
      assembler.reset();
      expected.clear();
    }
  }
  return 0;
}
