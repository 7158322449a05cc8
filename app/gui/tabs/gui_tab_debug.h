#pragma once

#include "app/core/logger.h"
#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The log's recent lines in a read-only box, a button that clears them, and
// "Auto-scroll", which keeps the newest line in view while it is on.
class GuiTabDebug : public ITab {
 public:
  explicit GuiTabDebug(core::Logger& logger);
  void render() override;

  bool autoScroll() const { return autoScroll_; }

 private:
  core::Logger& logger_;
  bool autoScroll_ = true;
};

}  // namespace gui::tabs
