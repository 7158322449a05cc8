#include "app/gui/theme.h"

#include <filesystem>

#include "app/gui/palette.h"

namespace gui {

using palette::rgb;

void applyStyle(ImGuiStyle& style) {
  style.WindowPadding = ImVec2(24, 24);
  style.WindowRounding = 19;
  style.WindowBorderSize = 4;
  style.ChildRounding = 19;
  style.ChildBorderSize = 4;
  style.PopupRounding = 10;
  style.PopupBorderSize = 2;
  style.FramePadding = ImVec2(14, 10);
  style.FrameRounding = 10;
  style.FrameBorderSize = 2;
  style.ItemSpacing = ImVec2(16, 16);
  style.ItemInnerSpacing = ImVec2(10, 10);
  style.ScrollbarRounding = 10;
  style.GrabRounding = 40;
  style.TabRounding = 10;
  style.TabBorderSize = 2;
  style.ButtonTextAlign = ImVec2(0.5f, 0.5f);

  ImVec4* c = style.Colors;
  c[ImGuiCol_Text] = c[ImGuiCol_TextDisabled] = rgb(palette::kWhite);
  c[ImGuiCol_WindowBg] = rgb(palette::kWindowBg);
  c[ImGuiCol_ChildBg] = rgb(palette::kCardBg);
  c[ImGuiCol_Border] = c[ImGuiCol_Separator] = rgb(palette::kBorder);
  c[ImGuiCol_FrameBg] = c[ImGuiCol_TitleBg] = c[ImGuiCol_TitleBgActive] = c[ImGuiCol_Header] = rgb(palette::kFrameBg);
  c[ImGuiCol_FrameBgHovered] = ImVec4(0.15f, 0.24f, 0.38f, 1.0f);
  c[ImGuiCol_FrameBgActive] = ImVec4(0.22f, 0.33f, 0.49f, 1.0f);
  c[ImGuiCol_CheckMark] = c[ImGuiCol_SliderGrab] = c[ImGuiCol_SliderGrabActive] = c[ImGuiCol_Button] =
      c[ImGuiCol_ButtonActive] = c[ImGuiCol_HeaderHovered] = c[ImGuiCol_TabHovered] = c[ImGuiCol_TabActive] =
          rgb(palette::kAccent);
  c[ImGuiCol_ButtonHovered] = c[ImGuiCol_HeaderActive] = rgb(palette::kAccentHovered);
  c[ImGuiCol_Tab] = c[ImGuiCol_TabUnfocused] = c[ImGuiCol_TabUnfocusedActive] = rgb(palette::kTabIdle);
}

namespace {

// `name` in `folder`, or just `name` when the folder is unknown.
std::string inFolder(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : (std::filesystem::path(folder) / name).string();
}

}  // namespace

std::string chooseFontFolder(const std::string& programFolder, const std::function<bool(const std::string&)>& exists) {
  const std::string own = inFolder(programFolder, "fonts/");
  if (!programFolder.empty() && exists(own + "fredoka.ttf")) return own;
  if (exists("fonts/fredoka.ttf")) return "fonts/";
  if (exists("../deps/fonts/fredoka.ttf")) return "../deps/fonts/";
  return "";
}

Fonts loadFonts(ImGuiIO& io, const std::string& folder, const std::function<bool(const std::string&)>& exists) {
  Fonts fonts;
  if (folder.empty()) return fonts;
  // The library's own font stays first in the atlas: it is what an empty role
  // falls back to, also when only some files could be loaded.
  io.Fonts->AddFontDefault();
  ImFontConfig config;  // shared by all four, set before the first font is added
  config.OversampleH = 4;
  config.OversampleV = 4;
  config.RasterizerMultiply = 2.0f;
  // ImGui aborts on a file it cannot open, so each file is checked first and a
  // missing one leaves its role on the default font.
  auto add = [&](const char* file, float size) -> ImFont* {
    const std::string path = folder + file;
    if (!exists(path)) return nullptr;
    return io.Fonts->AddFontFromFileTTF(path.c_str(), size, &config, io.Fonts->GetGlyphRangesDefault());
  };
  fonts.title = add("fredoka.ttf", 29);
  fonts.body = add("quicksand.ttf", 21);
  fonts.heading = add("fredoka.ttf", 19);
  fonts.section = add("Fredoka-Bold.ttf", 23);
  return fonts;
}

std::string findLogo(const std::string& programFolder, const std::function<bool(const std::string&)>& exists) {
  const std::string own = inFolder(programFolder, "images/svlogo_64.png");
  if (!programFolder.empty() && exists(own)) return own;
  for (const char* place : {"svlogo_64.png", "images/svlogo_64.png", "../images/svlogo_64.png"})
    if (exists(place)) return place;
  return "";
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace gui
