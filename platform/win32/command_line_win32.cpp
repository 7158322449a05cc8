#include <windows.h>

#include <string>

#include "platform/command_line.h"

namespace platform {
namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Quotes one argument so that the C runtime's parser (CommandLineToArgvW's rules)
// hands it back unchanged: backslashes only count before a quote.
std::wstring quoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (auto it = argument.begin();; ++it) {
    size_t backslashes = 0;
    while (it != argument.end() && *it == L'\\') {
      ++it;
      ++backslashes;
    }
    if (it == argument.end()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (*it == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted.push_back(*it);
  }
  quoted.push_back(L'"');
  return quoted;
}

int startAndWait(const wchar_t* application, std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
    return -1;
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return known ? static_cast<int>(code) : -1;
}

std::wstring interpreterPath() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"ComSpec", buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return buffer;
  const UINT system = ::GetSystemDirectoryW(buffer, MAX_PATH);
  if (system > 0 && system < MAX_PATH) return std::wstring(buffer) + L"\\cmd.exe";
  return L"cmd.exe";
}

}  // namespace

int runAndWait(const CommandLine& command) {
  if (!programExists(command.program)) return -1;
  std::wstring line = quoteArgument(widen(command.program));
  for (const std::string& argument : command.arguments) line += L" " + quoteArgument(widen(argument));
  return startAndWait(nullptr, line);
}

// As the C runtime's system() does: "cmd.exe /c " followed by the text, without a
// console window of its own.
int runInterpreterLine(const std::string& text) {
  const std::wstring interpreter = interpreterPath();
  return startAndWait(interpreter.c_str(), L"cmd.exe /c " + widen(text));
}

bool programExists(const std::string& program) {
  if (program.empty()) return false;
  wchar_t found[MAX_PATH];
  return ::SearchPathW(nullptr, widen(program).c_str(), L".exe", MAX_PATH, found, nullptr) > 0;
}

}  // namespace platform
