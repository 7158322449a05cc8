#include <windows.h>

// After windows.h, which it relies on.
#include <shellapi.h>

#include <string>

#include "platform/command_line.h"
#include "platform/win32/hidden_command_win32.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace win32 {
namespace {

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

std::wstring resolveProgram(const std::string& program) {
  if (program.empty()) return {};
  std::wstring found(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = ::SearchPathW(nullptr, widen(program).c_str(), L".exe", static_cast<DWORD>(found.size()),
                                       found.data(), nullptr);
    if (length == 0) return {};
    if (length < found.size()) {
      found.resize(length);
      const DWORD attributes = ::GetFileAttributesW(found.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? found : L"";
    }
    found.assign(length, L'\0');
  }
  return {};
}

bool sameName(const std::wstring& entry, const std::wstring& name) {
  return entry.size() > name.size() && entry[name.size()] == L'=' &&
         ::CompareStringOrdinal(entry.c_str(), static_cast<int>(name.size()), name.c_str(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment with the command's variables put in (replacing any of
// the same name), as the double-null-terminated block CreateProcessW takes.
std::wstring environmentBlock(const CommandLine& command) {
  std::wstring block;
  if (wchar_t* current = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
      const std::wstring text = entry;
      bool replaced = false;
      for (const auto& [name, value] : command.environment) replaced = replaced || sameName(text, widen(name));
      if (!replaced) block += text + L'\0';
    }
    ::FreeEnvironmentStringsW(current);
  }
  for (const auto& [name, value] : command.environment) block += widen(name) + L"=" + widen(value) + L'\0';
  block += L'\0';
  return block;
}

}  // namespace

std::wstring quotedCommandLine(const CommandLine& command) {
  std::wstring line = quoteArgument(widen(command.program));
  for (const std::string& argument : command.arguments) line += L" " + quoteArgument(widen(argument));
  return line;
}

bool launch(const CommandLine& command, DWORD creationFlags, const std::wstring& folder, PROCESS_INFORMATION& process) {
  const std::wstring application = resolveProgram(command.program);
  if (application.empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  std::wstring line = quotedCommandLine(command);
  std::wstring environment;
  if (!command.environment.empty()) {
    environment = environmentBlock(command);
    creationFlags |= CREATE_UNICODE_ENVIRONMENT;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return ::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, creationFlags,
                          environment.empty() ? nullptr : environment.data(), folder.empty() ? nullptr : folder.c_str(),
                          &startup, &process) != 0;
}

std::optional<unsigned long> runHiddenCommand(const CommandLine& command, unsigned long waitMs) {
  // The program and everything it starts run in one job, so a program that outlives
  // the wait is ended as a whole tree.
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (!job) return std::nullopt;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  PROCESS_INFORMATION process{};
  if (!launch(command, CREATE_NO_WINDOW | CREATE_SUSPENDED, L"", process)) {
    ::CloseHandle(job);
    return std::nullopt;
  }
  ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  std::optional<unsigned long> result;
  if (::WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) result = code;
  } else {
    ::TerminateJobObject(job, 1);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(job);  // ends whatever of the tree is left
  return result;
}

}  // namespace win32

int runAndWait(const CommandLine& command) {
  PROCESS_INFORMATION process{};
  if (!win32::launch(command, CREATE_NO_WINDOW, L"", process)) return -1;
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return known ? static_cast<int>(code) : -1;
}

bool programExists(const std::string& program) { return !win32::resolveProgram(program).empty(); }

std::string systemProgram(const std::string& relativePath) {
  std::wstring folder(MAX_PATH, L'\0');
  const UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length == 0 || length >= folder.size() || relativePath.empty()) return {};
  folder.resize(length);
  const std::wstring path = folder + L"\\" + win32::widen(relativePath) + L".exe";
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return win32::narrow(path);
}

std::vector<std::string> programArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(win32::narrow(wide[i]));
    ::LocalFree(wide);
  }
  return arguments;
}

std::string environmentValue(const std::string& name) {
  const std::wstring wideName = win32::widen(name);
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (length == 0) return {};
  std::wstring value(length, L'\0');
  const DWORD written = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), length);
  if (written == 0 || written >= length) return {};
  value.resize(written);
  return win32::narrow(value);
}

}  // namespace platform
