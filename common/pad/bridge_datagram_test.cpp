#include "common/pad/bridge_datagram.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<std::byte> bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

pad::XusbReport sample() {
  pad::XusbReport r;
  r.wButtons = 0x1234;
  r.bLeftTrigger = 200;
  r.bRightTrigger = 7;
  r.sThumbLX = -2;
  r.sThumbLY = 32767;
  r.sThumbRX = -32768;
  r.sThumbRY = 0x0102;
  return r;
}

TEST(BridgeDatagram, LaysOutMagicAndLittleEndianReport) {
  const auto datagram = pad::encodeBridgeDatagram(sample());
  const auto expected = bytes({'S', 'V', 'B', 'R', 0x34, 0x12, 200, 7, 0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x02, 0x01});
  EXPECT_EQ(std::vector<std::byte>(datagram.begin(), datagram.end()), expected);

  pad::XusbReport parsed;
  ASSERT_TRUE(pad::parseBridgeDatagram(expected, parsed));
  EXPECT_EQ(parsed, sample());
}

TEST(BridgeDatagram, IgnoresBytesAfterTheReportAndRejectsShortOrForeignDatagrams) {
  auto datagram = pad::encodeBridgeDatagram(sample());
  std::vector<std::byte> longer(datagram.begin(), datagram.end());
  longer.resize(1024, std::byte{0xAA});
  pad::XusbReport parsed;
  ASSERT_TRUE(pad::parseBridgeDatagram(longer, parsed));
  EXPECT_EQ(parsed, sample());

  const pad::XusbReport untouched = [] {
    pad::XusbReport r;
    r.wButtons = 0x0F0F;
    return r;
  }();
  for (std::size_t size = 0; size < pad::kBridgeDatagramBytes; ++size) {
    pad::XusbReport out = untouched;
    EXPECT_FALSE(pad::parseBridgeDatagram(std::span(datagram.data(), size), out)) << size;
    EXPECT_EQ(out, untouched);
  }
  for (std::size_t i = 0; i < 4; ++i) {
    auto wrong = datagram;
    wrong[i] ^= std::byte{0x20};  // "svbr", "SvBR", ... are not the magic
    pad::XusbReport out = untouched;
    EXPECT_FALSE(pad::parseBridgeDatagram(wrong, out));
    EXPECT_EQ(out, untouched);
  }
}

TEST(BridgeDatagram, RandomBytesAreRejectedUnlessTheyCarryTheMagic) {
  std::mt19937 random(12345);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::byte> junk(random() % 40);
    for (auto& b : junk) b = static_cast<std::byte>(random());
    pad::XusbReport out;
    const bool magic = junk.size() >= 4 && junk[0] == std::byte{'S'} && junk[1] == std::byte{'V'} &&
                       junk[2] == std::byte{'B'} && junk[3] == std::byte{'R'};
    EXPECT_EQ(pad::parseBridgeDatagram(junk, out), magic && junk.size() >= 16);
  }
}

}  // namespace
