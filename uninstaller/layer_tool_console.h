#pragma once

#include <functional>
#include <string>

#include "platform/layer_registry.h"

// What the layer tools share: their console, the registration list they change and
// the manifest path they register.
namespace layertools {

// The tools' console: each call writes one whole line and flushes it.
struct Console {
  std::function<void(const std::string&)> out;
  std::function<void(const std::string&)> err;
  std::function<void(int seconds)> pause;  // keeps a console window opened for the tool readable
};

// The loader's implicit-layer list as the tools use it (platform::ImplicitLayerList in the programs).
class IRegistrationList {
 public:
  virtual ~IRegistrationList() = default;
  virtual platform::RegistryResult open(bool create) = 0;
  virtual platform::RegistryResult add(const std::string& manifestPath) = 0;
  virtual platform::RegistryResult remove(const std::string& manifestPath) = 0;
  virtual void close() = 0;
};

inline constexpr const char* kBanner = "===============================================";

// The manifest registered for the program in the folder of `executablePath`: that
// folder (trailing separators removed), then "api_layer", then "gait_xrlayer.json".
std::string manifestPathFor(const std::string& executablePath, char separator);

}  // namespace layertools

namespace layertools {

// The platform's registration list behind the tools' interface.
class SystemRegistrationList final : public IRegistrationList {
 public:
  platform::RegistryResult open(bool create) override { return list_.open(create); }
  platform::RegistryResult add(const std::string& manifestPath) override { return list_.add(manifestPath); }
  platform::RegistryResult remove(const std::string& manifestPath) override { return list_.remove(manifestPath); }
  void close() override { list_.close(); }

 private:
  platform::ImplicitLayerList list_;
};

// Standard output and error through the platform's console, real pauses.
Console systemConsole();

}  // namespace layertools
