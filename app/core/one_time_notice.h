#pragma once

#include <ostream>
#include <string>

namespace core {

// Prints `text` once per data folder: a marker file `markerName` in `folder`
// remembers that it was shown, so later starts stay quiet. Empty text prints and
// records nothing (the need may arise later). True when the text was printed.
bool showOnce(const std::string& folder, const std::string& markerName, const std::string& text, std::ostream& out);

}  // namespace core
