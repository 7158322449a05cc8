#include <windows.h>

#include "platform/atomic_file.h"
#include "platform/win32/wide_text.h"

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
  const std::wstring temporary = win32::widen(path + ".tmp" + std::to_string(::GetCurrentProcessId()));
  HANDLE file =
      ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  if (!::MoveFileExW(temporary.c_str(), win32::widen(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = systemMessage(::GetLastError());
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

CopyOutcome copyToNewFile(const std::string& source, const std::string& target, std::string& error) {
  HANDLE in =
      ::CreateFileW(win32::widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return CopyOutcome::SourceMissing;
    error = systemMessage(code);
    return CopyOutcome::Failed;
  }
  // CREATE_NEW makes "does it exist" and "create it" one step, so no older copy is ever replaced.
  const std::wstring wideTarget = win32::widen(target);
  HANDLE out = ::CreateFileW(wideTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    ::CloseHandle(in);
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return CopyOutcome::TargetExists;
    error = systemMessage(code);
    return CopyOutcome::Failed;
  }
  char buffer[65536];
  DWORD failure = 0;  // the error of the first failing call
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr)) {
      failure = ::GetLastError();
      break;
    }
    if (got == 0) break;
    DWORD done = 0;
    while (failure == 0 && done < got) {
      DWORD written = 0;
      if (!::WriteFile(out, buffer + done, got - done, &written, nullptr) || written == 0) {
        const DWORD code = ::GetLastError();
        failure = code != 0 ? code : ERROR_WRITE_FAULT;
      }
      done += written;
    }
    if (failure != 0) break;
  }
  if (failure == 0 && !::FlushFileBuffers(out)) failure = ::GetLastError();
  ::CloseHandle(in);
  ::CloseHandle(out);
  if (failure != 0) {
    error = systemMessage(failure);
    ::DeleteFileW(wideTarget.c_str());
    return CopyOutcome::Failed;
  }
  return CopyOutcome::Copied;
}

}  // namespace platform
