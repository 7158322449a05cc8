#pragma once

namespace gui::tabs {

// One page of the window's content area.
class ITab {
 public:
  virtual ~ITab() = default;
  // Draws the tab's content for this frame.
  virtual void render() = 0;
};

}  // namespace gui::tabs
