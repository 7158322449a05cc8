#pragma once

#include "layer/layer_state.h"

namespace xrlayer {

// Writes the head pose, both controller poses and every value of the layer's set
// into the state record for this display time, then advances its frame counter.
// Reads go straight to the next layer. Nothing happens without a state view or base space.
void publishState(const DispatchRecord& next, XrSession session, const SessionRecord& record, XrTime displayTime);

}  // namespace xrlayer
