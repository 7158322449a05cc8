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

enum class CopyOutcome {
  Copied,         // `target` now holds exactly the bytes of `source`
  TargetExists,   // `target` was already there and is untouched
  SourceMissing,  // there is no `source` to copy
  Failed,         // see `error`; no partial `target` is left behind
};

// Copies `source` byte for byte to `target`, which is created by this call: an
// existing file of that name is never overwritten, even by a racing process.
CopyOutcome copyToNewFile(const std::string& source, const std::string& target, std::string& error);

}  // namespace platform
