#include "app/gui/headless_imgui.h"

namespace guitest {

HeadlessImGui::HeadlessImGui(float width, float height) {
  context_ = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(width, height);
  io.DeltaTime = 1.0f / 60.0f;
  unsigned char* pixels = nullptr;
  int w = 0, h = 0;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
  gui::setItemLocator(&locator_);
}

HeadlessImGui::~HeadlessImGui() {
  gui::setItemLocator(nullptr);
  ImGui::DestroyContext(context_);
}

void HeadlessImGui::frame(const std::function<void()>& draw, bool bare) {
  locator_.items.clear();
  ImGui::NewFrame();
  if (bare) {
    draw();
  } else {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    ImGui::Begin("Test", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
    draw();
    ImGui::End();
  }
  ImGui::Render();
}

bool HeadlessImGui::click(const std::string& name, const std::function<void()>& draw, bool bare) {
  // Lay out once more so positions are current (a popup places its items only
  // after its first frame), then hover, press and release.
  ImGuiIO& io = ImGui::GetIO();
  io.MouseDown[0] = false;
  frame(draw, bare);
  if (!has(name)) return false;
  io.MousePos = rect(name).centre();
  frame(draw, bare);
  if (!has(name)) return false;
  io.MousePos = rect(name).centre();
  io.MouseDown[0] = true;
  frame(draw, bare);
  io.MouseDown[0] = false;
  frame(draw, bare);
  return true;
}

void HeadlessImGui::drag(ImVec2 at, ImVec2 to, const std::function<void()>& draw, bool bare) {
  ImGuiIO& io = ImGui::GetIO();
  io.MousePos = at;
  io.MouseDown[0] = false;
  frame(draw, bare);
  io.MouseDown[0] = true;
  frame(draw, bare);
  io.MousePos = to;
  frame(draw, bare);
}

void HeadlessImGui::release(const std::function<void()>& draw, bool bare) {
  ImGui::GetIO().MouseDown[0] = false;
  frame(draw, bare);
}

}  // namespace guitest
