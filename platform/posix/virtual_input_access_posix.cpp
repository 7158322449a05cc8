#include <unistd.h>

#include "platform/virtual_input_access.h"

namespace platform {

std::string virtualInputAccessHint(const std::string& device) {
  const std::string path = device.empty() ? "/dev/uinput" : device;
  if (::access(path.c_str(), W_OK) == 0) return {};
  return "[uinput] " + path +
         " is missing or not writable, so the virtual keyboard and Xbox pad cannot be created. To allow them:\n"
         "[uinput]   load the module: sudo modprobe uinput (at every boot: echo uinput | sudo tee "
         "/etc/modules-load.d/uinput.conf)\n"
         "[uinput]   give your login access: echo 'KERNEL==\"uinput\", TAG+=\"uaccess\"' | sudo tee "
         "/etc/udev/rules.d/70-uinput.rules, then sudo udevadm control --reload && sudo udevadm trigger\n"
         "[uinput] This is shown once. Until then keys go through XTest on X11, and the Xbox pad is unavailable.\n";
}

}  // namespace platform
