#include "platform/network.h"

namespace platform {

int startNetworking() { return 0; }

}  // namespace platform
