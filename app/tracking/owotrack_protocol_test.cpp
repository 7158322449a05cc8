#include "app/tracking/owotrack_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace tracking::owotrack {
namespace {

std::vector<std::byte> bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(std::byte(v));
  return out;
}

TEST(OwotrackProtocol, DecodesBigEndianFloatsBitForBit) {
  // Type 1, packet number, then x = 1.0, y = -2.5, z = -0.0, w = the smallest denormal.
  const auto rotation =
      bytes({0, 0, 0, 1, 9, 9, 9, 9, 9, 9, 9, 9, 0x3F, 0x80, 0, 0, 0xC0, 0x20, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 1});
  const Packet packet = decode(rotation);
  ASSERT_EQ(packet.kind, Packet::Rotation);
  EXPECT_EQ(packet.values[0], 1.0f);
  EXPECT_EQ(packet.values[1], -2.5f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(packet.values[2]), 0x80000000u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(packet.values[3]), 1u);

  std::vector<std::byte> accel(kAccelerationSize);
  writeHeader(accel, kAcceleration, 0x0102030405060708ull);
  writeF32(accel, 12, 9.81f);
  writeF32(accel, 16, -0.125f);
  writeF32(accel, 20, 3e-7f);
  EXPECT_EQ(accel[4], std::byte{1});
  EXPECT_EQ(accel[11], std::byte{8});
  const Packet decoded = decode(accel);
  ASSERT_EQ(decoded.kind, Packet::Acceleration);
  EXPECT_EQ(decoded.values[0], 9.81f);
  EXPECT_EQ(decoded.values[1], -0.125f);
  EXPECT_EQ(decoded.values[2], 3e-7f);
}

TEST(OwotrackProtocol, EachTypeNeedsItsMinimumLength) {
  struct Case {
    std::uint32_t type;
    std::size_t minimum;
    Packet::Kind kind;
  };
  for (const Case& c : {Case{kHandshake, 12, Packet::Handshake}, Case{kPing, 12, Packet::Ping},
                        Case{kRotation, 28, Packet::Rotation}, Case{kAcceleration, 24, Packet::Acceleration},
                        Case{kUserAction, 13, Packet::UserAction}, Case{kTap, 13, Packet::Tap}}) {
    std::vector<std::byte> data(c.minimum + 3, std::byte{0x42});
    writeU32(data, 0, c.type);
    EXPECT_EQ(decode(std::span(data).first(c.minimum)).kind, c.kind) << c.type;
    EXPECT_EQ(decode(data).kind, c.kind) << c.type;
    if (c.minimum > 4) {
      const Packet shortPacket = decode(std::span(data).first(c.minimum - 1));
      EXPECT_EQ(shortPacket.kind, Packet::Unknown) << c.type;
      EXPECT_EQ(shortPacket.type, c.type);
    }
  }
  const auto handshake = bytes({0, 0, 0, 3});
  for (std::size_t n = 0; n < 4; ++n)
    EXPECT_EQ(decode(std::span<const std::byte>(handshake).first(n)).kind, Packet::TooShort) << n;
  EXPECT_EQ(decode(bytes({0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE})).code, 0xFE);
  const Packet unknown = decode(bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(unknown.kind, Packet::Unknown);
  EXPECT_EQ(unknown.type, 4294967295u);
}

TEST(OwotrackProtocol, RandomBytesOfEveryLengthDecodeInsideTheirBuffer) {
  // Each datagram sits in its own exactly-sized allocation, so a read past its end is
  // a heap overrun that the sanitizer builds report.
  std::mt19937 random(1234);
  const std::uint32_t types[] = {1, 3, 4, 10, 13, 15, 2, 0, 0xFFFFFFFFu};
  for (int round = 0; round < 4000; ++round) {
    const std::size_t size = random() % 64;
    auto data = std::make_unique<std::byte[]>(size == 0 ? 1 : size);
    for (std::size_t i = 0; i < size; ++i) data[i] = std::byte(random());
    if (size >= 4 && random() % 2) writeU32(std::span(data.get(), size), 0, types[random() % std::size(types)]);
    const Packet packet = decode(std::span<const std::byte>(data.get(), size));
    const std::size_t minimum = packet.kind == Packet::Rotation                                   ? kRotationSize
                                : packet.kind == Packet::Acceleration                             ? kAccelerationSize
                                : packet.kind == Packet::Tap || packet.kind == Packet::UserAction ? kEventSize
                                                                                                  : 4;
    EXPECT_EQ(size < 4, packet.kind == Packet::TooShort);
    EXPECT_GE(std::max<std::size_t>(size, 4), minimum);
  }
}

}  // namespace
}  // namespace tracking::owotrack
