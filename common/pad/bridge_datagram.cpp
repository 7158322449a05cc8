#include "common/pad/bridge_datagram.h"

#include <cstring>

namespace pad {
namespace {

constexpr char kMagic[4] = {'S', 'V', 'B', 'R'};

void put16(std::byte* at, std::uint16_t value) {
  at[0] = static_cast<std::byte>(value & 0xFF);
  at[1] = static_cast<std::byte>(value >> 8);
}

std::uint16_t get16(const std::byte* at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(at[0]) | (std::to_integer<unsigned>(at[1]) << 8));
}

}  // namespace

void encodeReport(const XusbReport& report, std::span<std::byte, kReportBytes> out) {
  put16(&out[0], report.wButtons);
  out[2] = static_cast<std::byte>(report.bLeftTrigger);
  out[3] = static_cast<std::byte>(report.bRightTrigger);
  put16(&out[4], static_cast<std::uint16_t>(report.sThumbLX));
  put16(&out[6], static_cast<std::uint16_t>(report.sThumbLY));
  put16(&out[8], static_cast<std::uint16_t>(report.sThumbRX));
  put16(&out[10], static_cast<std::uint16_t>(report.sThumbRY));
}

XusbReport decodeReport(std::span<const std::byte, kReportBytes> in) {
  XusbReport report;
  report.wButtons = get16(&in[0]);
  report.bLeftTrigger = std::to_integer<std::uint8_t>(in[2]);
  report.bRightTrigger = std::to_integer<std::uint8_t>(in[3]);
  report.sThumbLX = static_cast<std::int16_t>(get16(&in[4]));
  report.sThumbLY = static_cast<std::int16_t>(get16(&in[6]));
  report.sThumbRX = static_cast<std::int16_t>(get16(&in[8]));
  report.sThumbRY = static_cast<std::int16_t>(get16(&in[10]));
  return report;
}

std::array<std::byte, kBridgeDatagramBytes> encodeBridgeDatagram(const XusbReport& report) {
  std::array<std::byte, kBridgeDatagramBytes> datagram{};
  std::memcpy(datagram.data(), kMagic, sizeof kMagic);
  encodeReport(report, std::span<std::byte, kReportBytes>(datagram.data() + 4, kReportBytes));
  return datagram;
}

bool parseBridgeDatagram(std::span<const std::byte> datagram, XusbReport& out) {
  if (datagram.size() < kBridgeDatagramBytes) return false;
  if (std::memcmp(datagram.data(), kMagic, sizeof kMagic) != 0) return false;
  out = decodeReport(datagram.subspan(4).first<kReportBytes>());
  return true;
}

}  // namespace pad
