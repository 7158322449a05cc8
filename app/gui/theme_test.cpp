#include "app/gui/theme.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/gui/headless_imgui.h"
#include "app/gui/palette.h"
#include "app/gui/window.h"
#include "testing/support/temp_folder.h"

namespace {

const std::string kProgram = "/opt/strivo";
const std::string kOwnFonts = (std::filesystem::path(kProgram) / "fonts/").string();
const std::string kOwnLogo = (std::filesystem::path(kProgram) / "images/svlogo_64.png").string();

TEST(Theme, FontFolderPrefersTheProgramFolderThenFontsThenDepsThenNone) {
  std::set<std::string> files{kOwnFonts + "fredoka.ttf", "fonts/fredoka.ttf", "../deps/fonts/fredoka.ttf"};
  auto exists = [&](const std::string& path) { return files.count(path) != 0; };
  EXPECT_EQ(gui::chooseFontFolder(kProgram, exists), kOwnFonts);
  files.erase(kOwnFonts + "fredoka.ttf");
  EXPECT_EQ(gui::chooseFontFolder(kProgram, exists), "fonts/");
  files.erase("fonts/fredoka.ttf");
  EXPECT_EQ(gui::chooseFontFolder(kProgram, exists), "../deps/fonts/");
  files.clear();
  EXPECT_EQ(gui::chooseFontFolder(kProgram, exists), "");
}

TEST(Theme, AllFourRolesComeFromTheChosenFolderAndMissingFilesStayDefault) {
  const std::string source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "no TrueType font on this machine: " << source;
  testsupport::TempFolder folder("gui_fonts");
  const std::string fonts = folder.file("deps/fonts/");
  std::filesystem::create_directories(fonts);
  for (const char* name : {"fredoka.ttf", "quicksand.ttf", "Fredoka-Bold.ttf"})
    std::filesystem::copy_file(source, fonts + name);

  guitest::HeadlessImGui ui;  // a context to load into
  ImGuiIO& io = ImGui::GetIO();
  io.Fonts->Clear();
  gui::Fonts loaded = gui::loadFonts(io, fonts, gui::fileExists);
  ASSERT_NE(loaded.title, nullptr);
  ASSERT_NE(loaded.section, nullptr);
  ASSERT_EQ(io.Fonts->ConfigData.Size, 5);  // the library's default font, then the four roles
  const ImFont* roles[] = {loaded.title, loaded.body, loaded.heading, loaded.section};
  const float sizes[] = {29, 21, 19, 23};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(io.Fonts->ConfigData[i + 1].DstFont, roles[i]);
    EXPECT_EQ(io.Fonts->ConfigData[i + 1].SizePixels, sizes[i]);
  }
  EXPECT_EQ(io.Fonts->ConfigData[1].OversampleH, 4);
  EXPECT_EQ(io.Fonts->ConfigData[4].OversampleV, 4);
  EXPECT_EQ(io.Fonts->ConfigData[4].RasterizerMultiply, 2.0f);

  std::filesystem::remove(fonts + "Fredoka-Bold.ttf");
  io.Fonts->Clear();
  loaded = gui::loadFonts(io, fonts, gui::fileExists);
  EXPECT_EQ(loaded.section, nullptr) << "a missing file leaves its role on the default font";
  EXPECT_NE(io.Fonts->Fonts[0], loaded.title) << "the fallback is the library's font, not another role's";
  EXPECT_NE(loaded.body, nullptr);
  io.Fonts->Clear();
  EXPECT_EQ(gui::loadFonts(io, "", gui::fileExists).body, nullptr);
  unsigned char* pixels;
  int w, h;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
}

TEST(Theme, LogoIsFoundInOrderAndBrokenFilesGiveNoTexture) {
  std::set<std::string> files{kOwnLogo, "images/svlogo_64.png", "../images/svlogo_64.png"};
  auto exists = [&](const std::string& path) { return files.count(path) != 0; };
  EXPECT_EQ(gui::findLogo(kProgram, exists), kOwnLogo);
  files.erase(kOwnLogo);
  EXPECT_EQ(gui::findLogo(kProgram, exists), "images/svlogo_64.png");
  files.insert("svlogo_64.png");
  EXPECT_EQ(gui::findLogo(kProgram, exists), "svlogo_64.png");
  files.clear();
  EXPECT_EQ(gui::findLogo(kProgram, exists), "");

  int uploads = 0, width = 0;
  auto upload = [&](int w, int h, const unsigned char*) -> void* {
    ++uploads;
    width = w;
    return &uploads;
  };
  testsupport::TempFolder folder("gui_logo");
  testsupport::writeFile(folder.file("bad.png"), std::string("\x89PNG\r\n\x1a\n garbage", 17));
  EXPECT_EQ(gui::loadLogoTexture(folder.file("bad.png"), upload), nullptr);
  EXPECT_EQ(gui::loadLogoTexture(folder.file("missing.png"), upload), nullptr);
  EXPECT_EQ(gui::loadLogoTexture("", upload), nullptr);
  EXPECT_EQ(uploads, 0);
  const std::string logo = std::string(STRIVO_SOURCE_DIR) + "/assets/images/svlogo_64.png";
  EXPECT_NE(gui::loadLogoTexture(logo, upload), nullptr);
  EXPECT_EQ(width, 64);
}

TEST(Theme, StyleUsesThePalette) {
  guitest::HeadlessImGui ui;
  ImGuiStyle style;
  gui::applyStyle(style);
  const ImVec4 accent = gui::palette::rgb(gui::palette::kAccent);
  EXPECT_EQ(style.Colors[ImGuiCol_Button].x, accent.x);
  EXPECT_EQ(style.Colors[ImGuiCol_TabActive].z, accent.z);
  EXPECT_EQ(style.Colors[ImGuiCol_WindowBg].x, 0x0e / 255.0f);
  EXPECT_EQ(style.ItemSpacing.x, 16);
  EXPECT_EQ(style.GrabRounding, 40);
  EXPECT_EQ(gui::palette::u32(0xe98725), IM_COL32(0xe9, 0x87, 0x25, 0xff));
}

}  // namespace
