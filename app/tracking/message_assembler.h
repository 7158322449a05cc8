#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tracking {

// Puts a message that arrives in pieces back together, up to `maxSize` bytes; a
// longer message is dropped whole, and the next message starts clean.
class MessageAssembler {
 public:
  explicit MessageAssembler(std::size_t maxSize) : maxSize_(maxSize) {}

  // Takes the next piece; `last` ends the message. Returns the whole message once it
  // has ended and fits, else nothing. The bytes stay valid until the next call.
  std::optional<std::span<const std::uint8_t>> add(std::span<const std::uint8_t> piece, bool last) {
    if (ended_) {
      message_.clear();
      oversized_ = false;
    }
    ended_ = last;
    // The common case: a whole message in one piece, handed on in place.
    if (last && message_.empty() && !oversized_) {
      if (piece.size() > maxSize_) return std::nullopt;
      return piece;
    }
    if (!oversized_ && piece.size() <= maxSize_ - message_.size())
      message_.insert(message_.end(), piece.begin(), piece.end());
    else
      oversized_ = true;
    if (!last || oversized_) return std::nullopt;
    return std::span<const std::uint8_t>(message_);
  }

  // Forgets a message in progress (the connection ended).
  void reset() {
    message_.clear();
    oversized_ = false;
    ended_ = false;
  }

 private:
  std::size_t maxSize_;
  std::vector<std::uint8_t> message_;
  bool oversized_ = false;
  bool ended_ = false;
};

}  // namespace tracking
