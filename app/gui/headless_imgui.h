#pragma once

#include <imgui.h>

#include <functional>
#include <string>

#include "app/gui/widgets.h"

namespace guitest {

// A Dear ImGui context without a window or display: frames are laid out and
// rendered to draw lists only, and the mouse is driven by hand. Widgets record
// where they are (ItemLocator), so a test clicks them by name.
class HeadlessImGui {
 public:
  HeadlessImGui(float width = 1200, float height = 900);
  ~HeadlessImGui();
  HeadlessImGui(const HeadlessImGui&) = delete;
  HeadlessImGui& operator=(const HeadlessImGui&) = delete;

  // One frame: NewFrame, `draw` inside a full-size window (or bare when `bare`), Render.
  void frame(const std::function<void()>& draw, bool bare = false);

  // Moves the mouse onto item `name` (as found in the last frame), presses and
  // releases it, one frame each. Returns false when the item was not drawn.
  bool click(const std::string& name, const std::function<void()>& draw, bool bare = false);
  // Presses at `at`, drags to `to` and holds there for one more frame.
  void drag(ImVec2 at, ImVec2 to, const std::function<void()>& draw, bool bare = false);
  void release(const std::function<void()>& draw, bool bare = false);

  bool has(const std::string& name) const { return locator_.items.count(name) != 0; }
  gui::ItemLocator::Rect rect(const std::string& name) const { return locator_.items.at(name); }

 private:
  ImGuiContext* context_;
  gui::ItemLocator locator_;
};

}  // namespace guitest
