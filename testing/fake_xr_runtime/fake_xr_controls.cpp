// The test controls the fake runtime exports (see fake_xr_control.h).
#include "testing/fake_xr_runtime/fake_runtime_model.h"
#include "testing/fake_xr_runtime/fake_xr_control.h"

extern "C" {

void fakexr_set_input(const char* path, float x, float y) {
  std::lock_guard guard(fakexr::model().lock);
  fakexr::model().inputs[path] = {x, y};
}

void fakexr_clear_input(const char* path) {
  std::lock_guard guard(fakexr::model().lock);
  fakexr::model().inputs.erase(path);
}

void fakexr_set_pose(const char* path, const float* position, const float* orientation) {
  std::lock_guard guard(fakexr::model().lock);
  XrPosef pose{{orientation[0], orientation[1], orientation[2], orientation[3]},
               {position[0], position[1], position[2]}};
  fakexr::model().poses[path] = pose;
  fakexr::model().inputs[path] = {1, 0};  // a posed input is present
}

void fakexr_set_stage_supported(int supported) {
  std::lock_guard guard(fakexr::model().lock);
  fakexr::model().stageSupported = supported != 0;
}

void fakexr_refuse_path(const char* path) {
  std::lock_guard guard(fakexr::model().lock);
  fakexr::model().refusedPaths.insert(path);
}

int fakexr_refusal_count() {
  std::lock_guard guard(fakexr::model().lock);
  return static_cast<int>(fakexr::model().refusals.size());
}

const char* fakexr_refusal(int index) {
  std::lock_guard guard(fakexr::model().lock);
  const auto& refusals = fakexr::model().refusals;
  return index >= 0 && index < static_cast<int>(refusals.size()) ? refusals[index].c_str() : "";
}

int fakexr_sync_count(const char* name) {
  std::lock_guard guard(fakexr::model().lock);
  const auto found = fakexr::model().syncCounts.find(name);
  return found == fakexr::model().syncCounts.end() ? 0 : found->second;
}

PFN_xrVoidFunction fakexr_runtime_function(const char* name) { return fakexr::lookup(name); }
}
