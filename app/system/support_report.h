#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The support report: one text file the user can attach to a question, written beside
// the settings file. It is only written; nothing of it leaves the machine.
namespace services {

// Of a larger settings file only this much is shown.
inline constexpr std::size_t kReportSettingsBytes = 64 * 1024;

struct SupportReportInputs {
  std::string version;
  std::string build;
  std::string os;
  std::string settingsPath;  // its contents are read when the report is composed
  std::vector<std::string> components;
  std::vector<std::string> ports;
  std::vector<std::string> road;
  std::vector<std::string> logLines;  // the last ones, oldest first
};

// `bytes` as text safe to show anywhere: valid UTF-8 is kept; invalid bytes, control
// characters (but tab and line end) and C1 controls become \xNN.
std::string printable(std::string_view bytes);

// Compiler, architecture and build type of this program.
std::string buildDescription();

std::string composeSupportReport(const SupportReportInputs& inputs);

// Writes `text` as "support-report-YYYYMMDD-HHMMSS.txt" (UTC) in `folder`, with a
// "-2", "-3", ... suffix when that name is taken. Returns the path; empty on failure,
// with the reason in `error`.
std::string writeSupportReport(const std::string& folder, const std::string& text,
                               std::chrono::system_clock::time_point now, std::string& error);

}  // namespace services
