#pragma once

#include <cstddef>

namespace platform {

// Writes `count` pointers at `slots`, which may lie in read-only memory (a method
// table in a library's relocated read-only data). Exactly the pages those slots span
// are made writable for the write, and each page's protection is restored afterwards.
// Returns false, having written nothing, when a page's protection cannot be read or
// changed.
bool writeProtectedPointers(void** slots, void* const* values, std::size_t count);

}  // namespace platform
