#include "tools/bridge_send/pad_script.h"

#include <charconv>
#include <sstream>

namespace bridgesend {
namespace {

bool parseNumber(std::string_view text, long minimum, long maximum, long& out) {
  const char* end = text.data() + text.size();
  const auto [at, problem] = std::from_chars(text.data(), end, out);
  return problem == std::errc{} && at == end && !text.empty() && out >= minimum && out <= maximum;
}

bool parseButtons(std::string_view text, std::uint16_t& bits, std::string& error) {
  if (text == "none") return true;
  while (true) {
    const auto plus = text.find('+');
    const std::string_view name = text.substr(0, plus);
    bool found = false;
    for (const auto& button : platform::kXusbNamedButtons) {
      if (button.name == name) {
        bits |= button.bit;
        found = true;
      }
    }
    if (!found) {
      error = "unknown button \"" + std::string(name) + "\"";
      return false;
    }
    if (plus == std::string_view::npos) return true;
    text.remove_prefix(plus + 1);
  }
}

}  // namespace

bool parseStep(std::string_view text, PadStep& out, std::string& error) {
  PadStep step;
  bool any = false;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
    if (at >= text.size()) break;
    std::size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r') ++end;
    const std::string_view token = text.substr(at, end - at);
    at = end;
    any = true;

    const auto equals = token.find('=');
    if (equals == std::string_view::npos) {
      if (!parseButtons(token, step.report.wButtons, error)) return false;
      continue;
    }
    const std::string_view key = token.substr(0, equals);
    const std::string_view value = token.substr(equals + 1);
    long number = 0;
    auto need = [&](long minimum, long maximum) {
      if (parseNumber(value, minimum, maximum, number)) return true;
      error = std::string(key) + " needs a whole number from " + std::to_string(minimum) + " to " +
              std::to_string(maximum) + ", not \"" + std::string(value) + "\"";
      return false;
    };
    if (key == "lt" || key == "rt") {
      if (!need(0, 255)) return false;
      (key == "lt" ? step.report.bLeftTrigger : step.report.bRightTrigger) = static_cast<std::uint8_t>(number);
    } else if (key == "lx" || key == "ly" || key == "rx" || key == "ry") {
      if (!need(-32768, 32767)) return false;
      std::int16_t& axis = key == "lx"   ? step.report.sThumbLX
                           : key == "ly" ? step.report.sThumbLY
                           : key == "rx" ? step.report.sThumbRX
                                         : step.report.sThumbRY;
      axis = static_cast<std::int16_t>(number);
    } else if (key == "ms") {
      if (!need(0, 600000)) return false;
      step.holdMilliseconds = static_cast<int>(number);
    } else {
      error = "unknown setting \"" + std::string(key) + "\"";
      return false;
    }
  }
  if (!any) {
    error = "empty state";
    return false;
  }
  out = step;
  return true;
}

bool parseScript(std::string_view text, std::vector<PadStep>& out, std::string& error) {
  std::vector<PadStep> steps;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++lineNumber;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    PadStep step;
    std::string problem;
    if (!parseStep(line, step, problem)) {
      error = "line " + std::to_string(lineNumber) + ": " + problem;
      return false;
    }
    steps.push_back(step);
  }
  out = std::move(steps);
  return true;
}

}  // namespace bridgesend
