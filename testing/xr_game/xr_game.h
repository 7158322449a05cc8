#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/xr/openxr_api.h"

namespace testsupport {

// Plays an OpenXR game: a headless instance and session, one action set of its own
// ("gameplay"), bindings, a frame loop and action-state queries. It reaches OpenXR
// only through the get-instance-proc-addr and create-instance it is given (the real
// loader's, or a harness that plays the loader). Every call's result is returned.
class XrGame {
 public:
  using CreateInstance = XrResult (*)(const XrInstanceCreateInfo*, XrInstance*);
  XrGame(PFN_xrGetInstanceProcAddr getProcAddr, CreateInstance createInstance);
  ~XrGame();
  XrGame(const XrGame&) = delete;
  XrGame& operator=(const XrGame&) = delete;

  // Instance with the headless extension, system, session, and the game's action set.
  XrResult start();
  XrAction action(const char* name, XrActionType type, const std::vector<std::string>& subactions = {});
  XrResult suggest(const char* profile, const std::vector<std::pair<XrAction, std::string>>& bindings);
  XrResult attach();
  XrResult begin();
  // xrWaitFrame, xrBeginFrame, then xrSyncActions of the game's set when asked, then xrEndFrame.
  XrResult frame(bool syncGameSet);
  XrResult sync();

  XrActionStateVector2f stick(XrAction action, const char* subaction = nullptr);
  XrActionStateFloat axis(XrAction action, const char* subaction = nullptr);
  XrActionStateBoolean button(XrAction action, const char* subaction = nullptr);
  XrResult lastQuery() const { return lastQuery_; }

  XrPath path(const std::string& text);
  PFN_xrVoidFunction function(const char* name);
  XrInstance instance() const { return instance_; }
  XrSession session() const { return session_; }

 private:
  XrActionStateGetInfo getInfo(XrAction action, const char* subaction);

  PFN_xrGetInstanceProcAddr getProcAddr_;
  CreateInstance createInstance_;
  XrInstance instance_ = XR_NULL_HANDLE;
  XrSession session_ = XR_NULL_HANDLE;
  XrActionSet set_ = XR_NULL_HANDLE;
  XrResult lastQuery_ = XR_SUCCESS;
};

}  // namespace testsupport
