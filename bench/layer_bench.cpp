// What the layer adds to each xrGetActionStateVector2f of a game: the query through
// the real loader and the layer (injecting into a move action bound to the left
// thumbstick) against the fake runtime's own function called directly.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "layer/layer_scenarios.h"

namespace {

struct Setup {
  Setup() {
    chain = testsupport::makeLoaderChain({});
    if (!chain->error().empty()) return;
    program = std::make_unique<layertest::ProgramSide>();
    chain->runtime().SetInput("/user/hand/left/input/thumbstick", 0, 0);
    game = std::make_unique<testsupport::XrGame>(chain->getProcAddr(), chain->createInstance());
    if (game->start() != XR_SUCCESS) return;
    move = game->action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
    if (game->suggest(layertest::kTouch, {{move, "/user/hand/left/input/thumbstick"}}) != XR_SUCCESS ||
        game->attach() != XR_SUCCESS || game->begin() != XR_SUCCESS || game->frame(true) != XR_SUCCESS) {
      return;
    }
    program->input().leftActive = 1;
    program->input().leftY = 0.5f;
    throughLayer = reinterpret_cast<PFN_xrGetActionStateVector2f>(game->function("xrGetActionStateVector2f"));
    bare = reinterpret_cast<PFN_xrGetActionStateVector2f>(chain->runtime().RuntimeFunction("xrGetActionStateVector2f"));
    info = xrStruct<XrActionStateGetInfo>(XR_TYPE_ACTION_STATE_GET_INFO);
    info.action = move;
  }

  std::unique_ptr<testsupport::XrChain> chain;
  std::unique_ptr<layertest::ProgramSide> program;
  std::unique_ptr<testsupport::XrGame> game;
  XrAction move = XR_NULL_HANDLE;
  XrActionStateGetInfo info{};
  PFN_xrGetActionStateVector2f throughLayer = nullptr;
  PFN_xrGetActionStateVector2f bare = nullptr;
};

Setup& setup() {
  static Setup instance;
  return instance;
}

void query(benchmark::State& state, PFN_xrGetActionStateVector2f function) {
  Setup& s = setup();
  if (!function) {
    state.SkipWithError("the layer chain could not be set up");
    return;
  }
  auto out = xrStruct<XrActionStateVector2f>(XR_TYPE_ACTION_STATE_VECTOR2F);
  for (auto _ : state) {
    function(s.game->session(), &s.info, &out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_Vector2fBareRuntime(benchmark::State& state) { query(state, setup().bare); }
void BM_Vector2fThroughLoaderAndLayer(benchmark::State& state) { query(state, setup().throughLayer); }

BENCHMARK(BM_Vector2fBareRuntime);
BENCHMARK(BM_Vector2fThroughLoaderAndLayer);

}  // namespace

BENCHMARK_MAIN();
