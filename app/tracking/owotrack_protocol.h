#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

// The phone tracker app's UDP protocol: one message per datagram, a big-endian
// 32-bit packet type, 8 bytes the server does not read (the app's packet number),
// then the payload. Shared by the phone server and the phone simulator.
namespace tracking::owotrack {

enum PacketType : std::uint32_t {
  kRotation = 1,
  kHandshake = 3,
  kAcceleration = 4,
  kPing = 10,
  kTap = 13,
  kUserAction = 15,
};

inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kRotationSize = 28;      // header + four floats
inline constexpr std::size_t kAccelerationSize = 24;  // header + three floats
inline constexpr std::size_t kEventSize = 13;         // header + one byte (tap sensor or action code)

// The server's answer to a handshake: 0x03, "Hey OVR =D 5", 0x00.
inline constexpr std::array<std::byte, 14> kHandshakeAnswer = {
    std::byte{0x03}, std::byte{'H'}, std::byte{'e'}, std::byte{'y'}, std::byte{' '}, std::byte{'O'}, std::byte{'V'},
    std::byte{'R'},  std::byte{' '}, std::byte{'='}, std::byte{'D'}, std::byte{' '}, std::byte{'5'}, std::byte{0x00}};

// Big-endian reads and writes. Callers check that offset + 4 fits inside the data.
inline std::uint32_t readU32(std::span<const std::byte> data, std::size_t offset) {
  return (std::to_integer<std::uint32_t>(data[offset]) << 24) |
         (std::to_integer<std::uint32_t>(data[offset + 1]) << 16) |
         (std::to_integer<std::uint32_t>(data[offset + 2]) << 8) | std::to_integer<std::uint32_t>(data[offset + 3]);
}
inline float readF32(std::span<const std::byte> data, std::size_t offset) {
  return std::bit_cast<float>(readU32(data, offset));
}
inline void writeU32(std::span<std::byte> out, std::size_t offset, std::uint32_t value) {
  out[offset] = std::byte(value >> 24);
  out[offset + 1] = std::byte(value >> 16);
  out[offset + 2] = std::byte(value >> 8);
  out[offset + 3] = std::byte(value);
}
inline void writeF32(std::span<std::byte> out, std::size_t offset, float value) {
  writeU32(out, offset, std::bit_cast<std::uint32_t>(value));
}
inline void writeHeader(std::span<std::byte> out, std::uint32_t type, std::uint64_t packetNumber) {
  writeU32(out, 0, type);
  writeU32(out, 4, static_cast<std::uint32_t>(packetNumber >> 32));
  writeU32(out, 8, static_cast<std::uint32_t>(packetNumber));
}

// One received datagram, classified. `kind` is TooShort for fewer than 4 bytes and
// Unknown for an unrecognised type or a known type shorter than its minimum (a
// handshake or ping needs the whole header: a shorter one is never answered, so a
// forged sender gets nothing larger back than it sent).
struct Packet {
  enum Kind { TooShort, Handshake, Ping, Rotation, Acceleration, UserAction, Tap, Unknown };
  Kind kind = TooShort;
  std::uint32_t type = 0;
  std::array<float, 4> values{};  // rotation x, y, z, w or acceleration x, y, z
  std::uint8_t code = 0;          // tap sensor id or user-action code
};

// Reads only inside `data`.
inline Packet decode(std::span<const std::byte> data) {
  Packet packet;
  if (data.size() < 4) return packet;
  packet.type = readU32(data, 0);
  packet.kind = Packet::Unknown;
  switch (packet.type) {
    case kHandshake:
    case kPing:
      if (data.size() >= kHeaderSize) packet.kind = packet.type == kPing ? Packet::Ping : Packet::Handshake;
      break;
    case kRotation:
      if (data.size() >= kRotationSize) {
        packet.kind = Packet::Rotation;
        for (std::size_t i = 0; i < 4; ++i) packet.values[i] = readF32(data, kHeaderSize + 4 * i);
      }
      break;
    case kAcceleration:
      if (data.size() >= kAccelerationSize) {
        packet.kind = Packet::Acceleration;
        for (std::size_t i = 0; i < 3; ++i) packet.values[i] = readF32(data, kHeaderSize + 4 * i);
      }
      break;
    case kUserAction:
    case kTap:
      if (data.size() >= kEventSize) {
        packet.kind = packet.type == kTap ? Packet::Tap : Packet::UserAction;
        packet.code = std::to_integer<std::uint8_t>(data[kHeaderSize]);
      }
      break;
    default:
      break;
  }
  return packet;
}

}  // namespace tracking::owotrack
