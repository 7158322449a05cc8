#include "app/gui/window.h"

#include <stb_image.h>

#include "app/gui/theme.h"
#include "app/gui/user_interface.h"
#include "platform/gui_window.h"
#include "platform/paths.h"

namespace gui {

void* loadLogoTexture(const std::string& path,
                      const std::function<void*(int width, int height, const unsigned char* rgba)>& upload) {
  if (path.empty()) return nullptr;
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 4);
  if (!pixels) return nullptr;
  void* texture = upload(width, height, pixels);
  stbi_image_free(pixels);
  return texture;
}

int runWindow(core::Settings& settings, const engine::LiveView& live, core::Logger& logger, const GuiActions& actions) {
  UserInterface ui(settings, live, logger, actions);
  platform::GuiWindowHooks hooks;
  hooks.setup = [&](const platform::TextureUpload& upload) {
    ImGuiIO& io = ImGui::GetIO();
    const std::string programFolder = platform::executableFolder();
    ui.setFonts(loadFonts(io, chooseFontFolder(programFolder, fileExists), fileExists));
    applyStyle(ImGui::GetStyle());
    ui.setLogo(loadLogoTexture(findLogo(programFolder, fileExists), upload));
  };
  hooks.drawFrame = [&] { ui.drawFrame(); };
  hooks.contentChanged = [&] { return ui.contentChanged(); };
  return platform::runGuiWindow(hooks);
}

}  // namespace gui
