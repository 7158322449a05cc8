#include "uninstaller/layer_tool_console.h"

#include <chrono>
#include <thread>

#include "platform/console_lines.h"

namespace layertools {

std::string manifestPathFor(const std::string& executablePath, char separator) {
  std::string folder = executablePath;
  const auto last = folder.find_last_of("\\/");
  folder = last == std::string::npos ? "" : folder.substr(0, last);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  const std::string tail = std::string("api_layer") + separator + "gait_xrlayer.json";
  return folder.empty() ? tail : folder + separator + tail;
}

Console systemConsole() {
  return Console{
      .out = [](const std::string& line) { platform::writeConsoleLine(false, line); },
      .err = [](const std::string& line) { platform::writeConsoleLine(true, line); },
      .pause = [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); },
  };
}

}  // namespace layertools
