#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/xr/openxr_api.h"

// The fake runtime's world: handles, paths, actions, bindings, sessions, spaces and
// the scripted devices. One mutex guards it; the OpenXR entry points lock it.
namespace fakexr {

struct ScriptedInput {
  float x = 0;
  float y = 0;
};

struct ActionSetRecord {
  std::uint64_t instance = 0;
  std::string name;
  std::set<std::uint64_t> attachedTo;  // sessions
};

struct ActionRecord {
  std::uint64_t set = 0;
  XrActionType type = XR_ACTION_TYPE_BOOLEAN_INPUT;
  std::vector<XrPath> subactions;
};

struct SessionRecord {
  bool running = false;
  bool frameBegun = false;
  bool attached = false;
  XrTime nextDisplayTime = 1'000'000'000;
  // Inputs as they were at each set's last sync in this session.
  std::map<std::uint64_t, std::map<std::string, ScriptedInput>> syncedInputs;
};

struct SpaceRecord {
  std::uint64_t session = 0;
  XrReferenceSpaceType reference = XR_REFERENCE_SPACE_TYPE_LOCAL;  // when action == 0
  std::uint64_t action = 0;
  XrPath subaction = XR_NULL_PATH;
};

struct ActionValue {
  bool active = false;
  float x = 0;
  float y = 0;
};

class Model {
 public:
  std::mutex lock;

  std::uint64_t newHandle() { return nextHandle_++; }

  // Paths.
  static bool wellFormedPath(const std::string& text);
  XrPath pathFor(const std::string& text);
  std::optional<std::string> pathText(XrPath path) const;

  // True when the profile exists and defines this binding path (and it is not refused).
  bool profileDefines(const std::string& profile, const std::string& path) const;
  static bool knownProfile(const std::string& profile);

  // The action's value in a session from the inputs as synced for its set, over
  // the action's Touch bindings (filtered by subaction path when given).
  ActionValue value(std::uint64_t session, std::uint64_t action, const std::string& subaction) const;
  std::optional<std::pair<XrPosef, bool>> posedLocation(const SpaceRecord& space) const;

  std::uint64_t instance = 0;
  bool headless = false;
  bool stageSupported = true;
  std::set<std::string> refusedPaths;
  std::map<std::string, ScriptedInput> inputs;
  std::map<std::string, XrPosef> poses;
  std::map<std::uint64_t, ActionSetRecord> actionSets;
  std::map<std::uint64_t, ActionRecord> actions;
  std::map<std::uint64_t, SessionRecord> sessions;
  std::map<std::uint64_t, SpaceRecord> spaces;
  // profile -> action -> binding paths, as last suggested.
  std::map<std::string, std::map<std::uint64_t, std::vector<std::string>>> bindings;
  std::vector<std::string> refusals;
  std::map<std::string, int> syncCounts;

 private:
  std::uint64_t nextHandle_ = 0x1000;
  std::map<std::string, XrPath> pathIds_;
  std::vector<std::string> pathTexts_;
};

Model& model();

// The runtime's own function of this name, or null.
PFN_xrVoidFunction lookup(const char* name);

}  // namespace fakexr
