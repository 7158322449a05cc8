#pragma once

#include <imgui.h>

#include <functional>
#include <string>

namespace gui {

// The four font roles. A null font means "use the library's default font".
struct Fonts {
  ImFont* title = nullptr;    // product name in the header
  ImFont* body = nullptr;     // everything else
  ImFont* heading = nullptr;  // prompt titles, raised buttons
  ImFont* section = nullptr;  // section titles
};

// Applies the program's sizes and colours to `style`; what is not listed keeps
// the library's defaults.
void applyStyle(ImGuiStyle& style);

// The folder the fonts come from, the first holding fredoka.ttf of: "fonts/" in
// `programFolder` (so a menu entry works from any working directory), then
// "fonts/" and "../deps/fonts/" relative to the working directory; empty (no
// fonts) when none does. The result ends with a separator.
std::string chooseFontFolder(const std::string& programFolder,
                             const std::function<bool(const std::string&)>& fileExists);

// Adds the four fonts from `folder` to the atlas (nothing when the folder is empty;
// a file that cannot be read leaves its role on the default font).
Fonts loadFonts(ImGuiIO& io, const std::string& folder, const std::function<bool(const std::string&)>& fileExists);

// The first of the logo's places that exists, or empty: "images/svlogo_64.png" in
// `programFolder`, then "svlogo_64.png", "images/svlogo_64.png" and
// "../images/svlogo_64.png" relative to the working directory.
std::string findLogo(const std::string& programFolder, const std::function<bool(const std::string&)>& fileExists);

bool fileExists(const std::string& path);

}  // namespace gui
