#include "app/core/one_time_notice.h"

#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace core {

bool showOnce(const std::string& folder, const std::string& markerName, const std::string& text, std::ostream& out) {
  if (text.empty()) return false;
  const std::filesystem::path marker = platform::utf8Path(folder) / markerName;
  std::error_code error;
  if (std::filesystem::exists(marker, error)) return false;
  out << text << std::flush;
  // A folder that cannot be written only means the notice comes again next time.
  std::ofstream(marker) << "shown\n";
  return true;
}

}  // namespace core
