#include "testing/solarxr_server/request_check.h"

#include <cstring>
#include <optional>
#include <vector>

namespace testsupport::solarxr {
namespace {

// A table inside a FlatBuffers message, read without generated code.
class RawTable {
 public:
  static std::optional<RawTable> root(std::span<const std::uint8_t> bytes) {
    const auto offset = read<std::uint32_t>(bytes, 0);
    if (!offset) return std::nullopt;
    return at(bytes, *offset);
  }

  bool has(int slot) const { return fieldPosition(slot).has_value(); }

  template <typename T>
  std::optional<T> scalar(int slot) const {
    const auto pos = fieldPosition(slot);
    return pos ? read<T>(bytes_, *pos) : std::nullopt;
  }

  std::optional<RawTable> table(int slot) const {
    const auto pos = fieldPosition(slot);
    const auto offset = pos ? read<std::uint32_t>(bytes_, *pos) : std::nullopt;
    if (!offset) return std::nullopt;
    return at(bytes_, *pos + *offset);
  }

  std::optional<std::vector<RawTable>> tables(int slot) const {
    const auto pos = fieldPosition(slot);
    const auto offset = pos ? read<std::uint32_t>(bytes_, *pos) : std::nullopt;
    if (!offset) return std::nullopt;
    const std::size_t vector = *pos + *offset;
    const auto count = read<std::uint32_t>(bytes_, vector);
    if (!count || *count > bytes_.size() / 4) return std::nullopt;
    std::vector<RawTable> out;
    for (std::uint32_t i = 0; i < *count; ++i) {
      const std::size_t element = vector + 4 + 4 * std::size_t(i);
      const auto target = read<std::uint32_t>(bytes_, element);
      const auto table = target ? at(bytes_, element + *target) : std::nullopt;
      if (!table) return std::nullopt;
      out.push_back(*table);
    }
    return out;
  }

 private:
  RawTable(std::span<const std::uint8_t> bytes, std::size_t position, std::size_t vtable, std::uint16_t vtableSize)
      : bytes_(bytes), position_(position), vtable_(vtable), vtableSize_(vtableSize) {}

  template <typename T>
  static std::optional<T> read(std::span<const std::uint8_t> bytes, std::size_t position) {
    if (position > bytes.size() || bytes.size() - position < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data() + position, sizeof(T));
    return value;
  }

  static std::optional<RawTable> at(std::span<const std::uint8_t> bytes, std::size_t position) {
    const auto back = read<std::int32_t>(bytes, position);
    if (!back) return std::nullopt;
    const long long vtable = static_cast<long long>(position) - *back;
    if (vtable < 0) return std::nullopt;
    const auto size = read<std::uint16_t>(bytes, static_cast<std::size_t>(vtable));
    if (!size || *size < 4 || static_cast<std::size_t>(vtable) + *size > bytes.size()) return std::nullopt;
    return RawTable(bytes, position, static_cast<std::size_t>(vtable), *size);
  }

  std::optional<std::size_t> fieldPosition(int slot) const {
    const std::size_t entry = 4 + 2 * static_cast<std::size_t>(slot);
    if (entry + 2 > vtableSize_) return std::nullopt;
    const auto offset = read<std::uint16_t>(bytes_, vtable_ + entry);
    if (!offset || *offset == 0) return std::nullopt;
    return position_ + *offset;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_;
  std::size_t vtable_;
  std::uint16_t vtableSize_;
};

std::string checkMask(const RawTable& mask) {
  for (int slot : {0, 1, 2, 7})
    if (mask.scalar<std::uint8_t>(slot) != std::uint8_t{1})
      return "tracker mask slot " + std::to_string(slot) + " not true";
  for (int slot = 3; slot <= 6; ++slot)
    if (mask.has(slot)) return "tracker mask slot " + std::to_string(slot) + " present";
  if (mask.has(8)) return "tracker mask has a slot past 7";
  return "";
}

}  // namespace

std::string checkStartDataFeed(std::span<const std::uint8_t> message) {
  const auto bundle = RawTable::root(message);
  if (!bundle) return "not a FlatBuffers table";
  if (bundle->has(1) || bundle->has(2)) return "bundle carries rpc or pub-sub messages";
  const auto headers = bundle->tables(0);
  if (!headers || headers->size() != 1) return "bundle does not hold exactly one feed message";
  const RawTable& header = headers->front();
  if (header.scalar<std::uint8_t>(0) != std::uint8_t{2}) return "feed message is not StartDataFeed (type 2)";
  const auto start = header.table(1);
  const auto configs = start ? start->tables(0) : std::nullopt;
  if (!configs || configs->size() != 1) return "StartDataFeed does not hold exactly one config";
  const RawTable& config = configs->front();
  if (config.scalar<std::uint16_t>(0) != std::uint16_t{10}) return "minimum time since last is not 10";
  for (int slot = 2; slot <= 5; ++slot)
    if (config.has(slot)) return "config slot " + std::to_string(slot) + " present";
  const auto deviceMask = config.table(1);
  if (!deviceMask) return "config has no data mask";
  if (deviceMask->scalar<std::uint8_t>(1) != std::uint8_t{1}) return "device data not requested";
  const auto trackerMask = deviceMask->table(0);
  if (!trackerMask) return "data mask has no tracker mask";
  return checkMask(*trackerMask);
}

}  // namespace testsupport::solarxr
