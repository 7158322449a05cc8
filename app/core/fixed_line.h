#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace core {

// A log line built in place, for lines written once per datagram: no heap
// allocation. Text past the capacity is cut off.
template <std::size_t Capacity>
class FixedLine {
 public:
  FixedLine& add(std::string_view text) {
    for (char c : text) put(c);
    return *this;
  }
  FixedLine& add(std::uint64_t number) {
    char digits[20];
    std::size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    while (count > 0) put(digits[--count]);
    return *this;
  }
  FixedLine& addSigned(std::int64_t number) {
    if (number < 0) put('-');
    return add(number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number));
  }
  // An IPv4 address in host byte order, as dotted text.
  FixedLine& addAddress(std::uint32_t address) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      add(static_cast<std::uint64_t>((address >> shift) & 0xFFu));
      if (shift != 0) put('.');
    }
    return *this;
  }
  FixedLine& addHex(std::byte value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    const unsigned bits = std::to_integer<unsigned>(value);
    put(kDigits[bits >> 4]);
    put(kDigits[bits & 0xFu]);
    return *this;
  }
  std::string_view view() const { return {text_.data(), size_}; }

 private:
  void put(char c) {
    if (size_ < Capacity) text_[size_++] = c;
  }
  std::array<char, Capacity> text_{};
  std::size_t size_ = 0;
};

}  // namespace core
