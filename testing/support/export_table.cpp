#include "testing/support/export_table.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace testsupport {
namespace {

class Bytes {
 public:
  explicit Bytes(const std::vector<unsigned char>& data) : data_(data) {}
  bool has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= data_.size() && size <= data_.size() - offset;
  }
  template <class T>
  bool read(std::uint64_t offset, T& out) const {
    if (!has(offset, sizeof(T))) return false;
    std::memcpy(&out, data_.data() + offset, sizeof(T));  // little-endian hosts and files only
    return true;
  }
  bool text(std::uint64_t offset, std::string& out) const {
    if (offset >= data_.size()) return false;
    const auto* start = reinterpret_cast<const char*>(data_.data() + offset);
    const std::size_t length = strnlen(start, data_.size() - offset);
    if (length == data_.size() - offset) return false;  // unterminated
    out.assign(start, length);
    return true;
  }

 private:
  const std::vector<unsigned char>& data_;
};

bool elfNames(const Bytes& b, std::vector<std::string>& names) {
  std::uint8_t elfClass = 0, order = 0;
  std::uint64_t sectionsAt = 0;
  std::uint16_t entrySize = 0, count = 0;
  if (!b.read(4, elfClass) || !b.read(5, order) || elfClass != 2 || order != 1) return false;
  if (!b.read(0x28, sectionsAt) || !b.read(0x3A, entrySize) || !b.read(0x3C, count) || entrySize < 64) return false;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint64_t header = sectionsAt + std::uint64_t{i} * entrySize;
    std::uint32_t type = 0, link = 0;
    std::uint64_t offset = 0, size = 0, symbolSize = 0;
    if (!b.read(header + 4, type) || !b.read(header + 0x18, offset) || !b.read(header + 0x20, size) ||
        !b.read(header + 0x28, link) || !b.read(header + 0x38, symbolSize))
      return false;
    if (type != 11) continue;  // SHT_DYNSYM
    if (symbolSize < 24 || !b.has(offset, size) || link >= count) return false;
    std::uint64_t stringsAt = 0;
    if (!b.read(sectionsAt + std::uint64_t{link} * entrySize + 0x18, stringsAt)) return false;
    for (std::uint64_t at = offset + symbolSize; at + symbolSize <= offset + size; at += symbolSize) {
      std::uint32_t nameAt = 0;
      std::uint8_t info = 0, other = 0;
      std::uint16_t sectionIndex = 0;
      if (!b.read(at, nameAt) || !b.read(at + 4, info) || !b.read(at + 5, other) || !b.read(at + 6, sectionIndex))
        return false;
      const int binding = info >> 4, kind = info & 0xF, visibility = other & 3;
      if (sectionIndex == 0 || (binding != 1 && binding != 2) || visibility == 1 || visibility == 2) continue;
      if (kind == 3 || kind == 4) continue;  // section and file symbols
      std::string name;
      if (!b.text(stringsAt + nameAt, name)) return false;
      names.push_back(name);
    }
    return true;
  }
  return false;
}

bool peNames(const Bytes& b, std::vector<std::string>& names) {
  std::uint32_t peAt = 0, signature = 0;
  if (!b.read(0x3C, peAt) || !b.read(peAt, signature) || signature != 0x00004550) return false;
  std::uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!b.read(peAt + 6, sectionCount) || !b.read(peAt + 20, optionalSize)) return false;
  const std::uint64_t optional = std::uint64_t{peAt} + 24;
  if (!b.read(optional, magic) || magic != 0x20B || optionalSize < 120) return false;
  std::uint32_t exportRva = 0, exportSize = 0;
  if (!b.read(optional + 112, exportRva) || !b.read(optional + 116, exportSize)) return false;
  if (exportRva == 0) return true;  // exports nothing
  const std::uint64_t sections = optional + optionalSize;
  auto fileOffset = [&](std::uint32_t rva, std::uint64_t& out) {
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawAt = 0;
      const std::uint64_t s = sections + std::uint64_t{i} * 40;
      if (!b.read(s + 8, virtualSize) || !b.read(s + 12, virtualAddress) || !b.read(s + 16, rawSize) ||
          !b.read(s + 20, rawAt))
        return false;
      if (rva >= virtualAddress && rva - virtualAddress < rawSize) {
        out = std::uint64_t{rawAt} + (rva - virtualAddress);
        return true;
      }
    }
    return false;
  };
  std::uint64_t directory = 0, nameTable = 0;
  std::uint32_t nameCount = 0, nameTableRva = 0;
  if (!fileOffset(exportRva, directory) || !b.read(directory + 24, nameCount) || !b.read(directory + 32, nameTableRva))
    return false;
  if (nameCount == 0) return true;
  if (nameCount > 100000 || !fileOffset(nameTableRva, nameTable)) return false;
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    std::uint32_t nameRva = 0;
    std::uint64_t nameAt = 0;
    std::string name;
    if (!b.read(nameTable + std::uint64_t{i} * 4, nameRva) || !fileOffset(nameRva, nameAt) || !b.text(nameAt, name))
      return false;
    names.push_back(name);
  }
  return true;
}

}  // namespace

bool exportedNamesFromBytes(const std::vector<unsigned char>& bytes, std::vector<std::string>& names) {
  names.clear();
  const Bytes b(bytes);
  if (bytes.size() >= 4 && std::memcmp(bytes.data(),
                                       "\x7f"
                                       "ELF",
                                       4) == 0)
    return elfNames(b, names);
  if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') return peNames(b, names);
  return false;
}

bool exportedNames(const std::string& path, std::vector<std::string>& names) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return exportedNamesFromBytes(bytes, names);
}

}  // namespace testsupport
