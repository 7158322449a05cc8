#pragma once

#include <string>
#include <string_view>

namespace platform {

// The line end of text files on this platform ("\r\n" on Windows, "\n" elsewhere).
std::string_view nativeLineEnding();

// Writes `contents` to a temporary file beside `path` and renames it over `path`,
// so readers see either the old file or the whole new one, never a partial write.
// On failure `path` is untouched, the temporary is removed and `error` holds the reason.
bool replaceFileAtomically(const std::string& path, std::string_view contents, std::string& error);

}  // namespace platform
