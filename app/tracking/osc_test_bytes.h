#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

// Hand-made OSC bytes for the receiver's tests, written independently of any encoder.
namespace tracking::osc::testbytes {

using Bytes = std::vector<std::byte>;

inline Bytes raw(std::string_view text) {
  Bytes out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}
// Zero-terminated and padded with zeros to a multiple of 4.
inline Bytes padded(std::string_view text) {
  Bytes out = raw(text);
  do out.push_back(std::byte{0});
  while (out.size() % 4 != 0);
  return out;
}
inline Bytes u32(std::uint32_t v) {
  return {std::byte(v >> 24), std::byte((v >> 16) & 0xFF), std::byte((v >> 8) & 0xFF), std::byte(v & 0xFF)};
}
inline Bytes f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
inline Bytes msg(std::string_view address, std::string_view tags, std::initializer_list<Bytes> args = {}) {
  return cat({padded(address), padded(tags), cat(args)});
}
inline Bytes element(const Bytes& packet) { return cat({u32(static_cast<std::uint32_t>(packet.size())), packet}); }
// "#bundle", a time tag nobody reads, then each packet with its size.
inline Bytes bundle(std::initializer_list<Bytes> packets) {
  Bytes out = cat({padded("#bundle"), u32(0), u32(1)});
  for (const Bytes& packet : packets) out = cat({out, element(packet)});
  return out;
}

}  // namespace tracking::osc::testbytes
