#include "app/tracking/osc_decoder.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tracking::osc {
namespace {

constexpr std::size_t kBundleHeader = 16;  // "#bundle", its zero byte, the time tag

std::uint32_t readU32(std::span<const std::byte> data, std::size_t at) {
  return (std::to_integer<std::uint32_t>(data[at]) << 24) | (std::to_integer<std::uint32_t>(data[at + 1]) << 16) |
         (std::to_integer<std::uint32_t>(data[at + 2]) << 8) | std::to_integer<std::uint32_t>(data[at + 3]);
}

std::size_t alignDown4(std::size_t value) { return value & ~std::size_t{3}; }

// The text at `from` up to its zero byte; false when no zero byte follows inside `data`.
bool terminatedText(std::span<const std::byte> data, std::size_t from, std::string_view& text) {
  const auto* begin = reinterpret_cast<const char*>(data.data()) + from;
  const void* zero = std::memchr(begin, 0, data.size() - from);
  if (zero == nullptr) return false;
  text = std::string_view(begin, static_cast<std::size_t>(static_cast<const char*>(zero) - begin));
  return true;
}

void decodeMessage(std::span<const std::byte> data, PacketSink& sink) {
  const std::size_t n = data.size();
  std::string_view address;
  if (!terminatedText(data, 0, address)) return;
  const std::size_t tagOffset = alignDown4(address.size() + 4);
  if (tagOffset >= n || data[tagOffset] != std::byte{','}) return;
  std::string_view tags;
  if (!terminatedText(data, tagOffset + 1, tags)) return;

  std::vector<float> floats;
  std::size_t cursor = alignDown4(tagOffset + tags.size() + 5);
  for (const char tag : tags) {
    if (tag == 'f') {
      if (cursor + 4 > n) break;
      floats.push_back(std::bit_cast<float>(readU32(data, cursor)));
      cursor += 4;
    } else if (tag == 'i') {
      cursor += 4;
      if (cursor > n) break;
    }
  }
  sink.message(address, floats);
}

void decode(std::span<const std::byte> data, PacketSink& sink, int depth) {
  const std::size_t n = data.size();
  if (n < 4) return;
  if (data[0] != std::byte{'/'} && data[0] != std::byte{'#'}) {
    sink.notOsc(data);
    return;
  }
  if (n < 8 || std::memcmp(data.data(), "#bundle", 7) != 0) {
    decodeMessage(data, sink);
    return;
  }
  if (n < kBundleHeader + 4 || depth >= kMaxBundleDepth) return;
  std::size_t cursor = kBundleHeader;
  while (cursor + 4 <= n) {
    const std::size_t size = readU32(data, cursor);
    const std::size_t start = cursor + 4;
    if (size > n - start) return;  // an element claiming more than is left ends the bundle
    decode(data.subspan(start, size), sink, depth + 1);
    cursor = start + size;
  }
}

}  // namespace

void decodePacket(std::span<const std::byte> packet, PacketSink& sink) { decode(packet, sink, 0); }

}  // namespace tracking::osc
