#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The names a shared library exports, read from the file itself: the defined,
// globally visible entries of an ELF64 dynamic symbol table, or the name table of a
// PE32+ export directory. False for anything else or for a damaged file; every read
// stays inside the file.
bool exportedNames(const std::string& path, std::vector<std::string>& names);
bool exportedNamesFromBytes(const std::vector<unsigned char>& bytes, std::vector<std::string>& names);

}  // namespace testsupport
