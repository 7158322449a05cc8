#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/key_injector.h"

// The one place the allocation benchmark touches the program's own interfaces: it
// runs the whole program (the composition root, settings read from a file) and
// reads two counters of the road panel. Everything else the benchmark does goes
// over sockets and through stand-ins.
namespace benchprogram {

struct ProgramSetup {
  std::string dataFolder;    // the settings file is written here
  std::string settingsJson;  // the settings file's text
  std::ostream* out = nullptr;
  std::shared_ptr<platform::IKeyInjector> keyInjector;
};

class Program {
 public:
  virtual ~Program() = default;
  // Datagrams the phone server accepted from the phone it follows.
  virtual std::uint64_t phonePackets() const = 0;
  // Calls that reached the output (each stick sent counts one).
  virtual std::uint64_t outputMessages() const = 0;
};

// Starts the program as the user would (engine and services running), calls
// `measure` while it runs, then stops it.
void run(const ProgramSetup& setup, const std::function<void(Program&)>& measure);

}  // namespace benchprogram
