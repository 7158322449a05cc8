#include "app/core/utf8_text.h"

#include <algorithm>

namespace core {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed sequence at `at`, or 0 when it is ill-formed; then
// `skip` is the length of its maximal ill-formed part (at least 1).
std::size_t sequenceAt(std::string_view text, std::size_t at, std::size_t& skip) {
  const auto lead = static_cast<unsigned char>(text[at]);
  skip = 1;
  if (lead < 0x80) return 1;
  std::size_t trailing = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the first trailing byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t k = 0; k < trailing; ++k) {
    if (at + 1 + k >= text.size()) return 0;
    const auto byte = static_cast<unsigned char>(text[at + 1 + k]);
    if (k == 0 ? byte < low || byte > high : byte < 0x80 || byte > 0xBF) return 0;
    skip = k + 2;
  }
  return trailing + 1;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (std::size_t at = 0, skip = 0; at < text.size(); at += skip)
    if (sequenceAt(text, at, skip) == 0) return false;
  return true;
}

std::string repairUtf8(std::string_view text) { return repairUtf8(text, std::string::npos); }

std::string repairUtf8(std::string_view text, std::size_t maxBytes) {
  std::string repaired;
  repaired.reserve(std::min(text.size(), maxBytes));
  for (std::size_t at = 0, skip = 0; at < text.size(); at += skip) {
    const std::size_t length = sequenceAt(text, at, skip);
    const std::string_view piece = length ? text.substr(at, length) : kReplacement;
    if (repaired.size() + piece.size() > maxBytes) break;
    repaired += piece;
  }
  return repaired;
}

}  // namespace core
