#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/xusb_report.h"

namespace pad {

using XusbReport = platform::XusbReport;

inline constexpr std::size_t kReportBytes = 12;
void encodeReport(const XusbReport& report, std::span<std::byte, kReportBytes> out);
XusbReport decodeReport(std::span<const std::byte, kReportBytes> in);

// The bridge datagram: the magic "SVBR" followed by one report. Longer datagrams are
// accepted (the bytes after the report are ignored); shorter ones are not.
inline constexpr std::size_t kBridgeDatagramBytes = 16;
std::array<std::byte, kBridgeDatagramBytes> encodeBridgeDatagram(const XusbReport& report);
// False (and `out` untouched) for a datagram shorter than 16 bytes or without the magic.
bool parseBridgeDatagram(std::span<const std::byte> datagram, XusbReport& out);

}  // namespace pad
