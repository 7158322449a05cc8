#include "platform/virtual_input_access.h"

namespace platform {

// Windows creates virtual input through SendInput and the pad bus driver, whose
// absence the pad service reports itself.
std::string virtualInputAccessHint(const std::string&) { return {}; }

}  // namespace platform
