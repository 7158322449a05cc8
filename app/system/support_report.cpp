#include "app/system/support_report.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace services {
namespace {

void escape(std::string& out, unsigned char byte) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
  out += buffer;
}

// Length of the valid UTF-8 sequence at `at` (a C1 control counts as invalid), 0 if none.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) low = 0xA0;  // U+0080..U+009F are controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

void section(std::string& out, const char* title) {
  out += "\n== ";
  out += title;
  out += " ==\n";
}

void lines(std::string& out, const std::vector<std::string>& items) {
  if (items.empty()) out += "(none)\n";
  for (const std::string& item : items) out += printable(item) + "\n";
}

std::string settingsContents(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(platform::utf8Path(path), error);
  if (error) return "(no settings file at " + printable(path) + ")\n";
  std::ifstream file(platform::utf8Path(path), std::ios::binary);
  if (!file) return "(the settings file " + printable(path) + " cannot be read)\n";
  std::string bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kReportSettingsBytes)), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  std::string text = printable(bytes);
  if (!text.empty() && text.back() != '\n') text += '\n';
  if (size > bytes.size())
    text += "(cut: the first " + std::to_string(bytes.size()) + " of " + std::to_string(size) + " bytes)\n";
  return text;
}

std::string two(unsigned value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

std::string printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    if (c < 0x80) {
      const bool lineEnd = c == '\n' || (c == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n');
      if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F)
        escape(out, c);
      else if (c != '\r')
        out += static_cast<char>(c);
      ++at;
      continue;
    }
    const std::size_t length = sequenceLength(bytes, at);
    if (length == 0) {
      escape(out, c);
      ++at;
      continue;
    }
    out.append(bytes.substr(at, length));
    at += length;
  }
  return out;
}

std::string buildDescription() {
  std::string text;
#if defined(__clang__)
  text = "clang " __clang_version__;
#elif defined(__GNUC__)
  text = "gcc " __VERSION__;
#else
  text = "unknown compiler";
#endif
  text += sizeof(void*) == 8 ? ", 64-bit" : ", 32-bit";
#ifdef NDEBUG
  text += ", release";
#else
  text += ", debug";
#endif
  return text;
}

std::string composeSupportReport(const SupportReportInputs& in) {
  std::string out = "StrivoVR support report\n";
  out += "This file stays on this computer until you choose to share it.\n";
  section(out, "Program");
  out += "Version: " + printable(in.version) + "\n";
  out += "Build: " + printable(in.build) + "\n";
  out += "OS: " + printable(in.os) + "\n";
  section(out, "Road");
  lines(out, in.road);
  section(out, "Components");
  lines(out, in.components);
  section(out, "Ports");
  lines(out, in.ports);
  section(out, "Settings file");
  out += printable(in.settingsPath) + "\n";
  out += settingsContents(in.settingsPath);
  section(out, "Log (last lines)");
  lines(out, in.logLines);
  return out;
}

std::string writeSupportReport(const std::string& folder, const std::string& text,
                               std::chrono::system_clock::time_point now, std::string& error) {
  const auto day = std::chrono::floor<std::chrono::days>(now);
  const std::chrono::year_month_day date(day);
  const std::chrono::hh_mm_ss time(std::chrono::floor<std::chrono::seconds>(now - day));
  const std::string stem =
      "support-report-" + std::to_string(static_cast<int>(date.year())) + two(static_cast<unsigned>(date.month())) +
      two(static_cast<unsigned>(date.day())) + "-" + two(static_cast<unsigned>(time.hours().count())) +
      two(static_cast<unsigned>(time.minutes().count())) + two(static_cast<unsigned>(time.seconds().count()));
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string name = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".txt";
    const std::string path = platform::joinPath(folder, name);
    std::error_code exists;
    if (std::filesystem::exists(platform::utf8Path(path), exists) || exists) continue;
    if (!platform::replaceFileAtomically(path, text, error)) return "";
    return path;
  }
  error = "no free file name for the report in " + folder;
  return "";
}

}  // namespace services
