#include <windows.h>

#include "platform/atomic_file.h"

namespace platform {
namespace {

std::string systemMessage(DWORD code) {
  char text[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

std::string_view nativeLineEnding() { return "\r\n"; }

bool replaceFileAtomically(const std::string& path, std::string_view contents, std::string& error) {
  const std::string temporary = path + ".tmp" + std::to_string(::GetCurrentProcessId());
  HANDLE file =
      ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = systemMessage(::GetLastError());
    return false;
  }
  const char* data = contents.data();
  std::size_t left = contents.size();
  bool ok = true;
  while (ok && left > 0) {
    DWORD written = 0;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    ok = ::WriteFile(file, data, chunk, &written, nullptr) && written > 0;
    data += written;
    left -= written;
  }
  if (ok) ok = ::FlushFileBuffers(file);
  const DWORD writeError = ok ? 0 : ::GetLastError();
  ::CloseHandle(file);
  if (!ok) {
    error = systemMessage(writeError);
    ::DeleteFileA(temporary.c_str());
    return false;
  }
  if (!::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = systemMessage(::GetLastError());
    ::DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
