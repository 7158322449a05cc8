#include "bench/alloc/program_under_test.h"

#include <fstream>

#include "app/application.h"

namespace benchprogram {
namespace {

class RunningApplication : public Program {
 public:
  explicit RunningApplication(Application& application) : application_(application) {}
  std::uint64_t phonePackets() const override { return application_.roadStats().phone.packets.load(); }
  std::uint64_t outputMessages() const override { return application_.roadStats().outputMessages.load(); }

 private:
  Application& application_;
};

}  // namespace

void run(const ProgramSetup& setup, const std::function<void(Program&)>& measure) {
  std::ofstream(setup.dataFolder + "/usersettings.json") << setup.settingsJson;
  Application::Options options;
  options.dataFolder = [folder = setup.dataFolder] { return folder; };
  options.out = setup.out;
  options.err = setup.out;
  options.keyInjector = setup.keyInjector;
  Application application(options);
  RunningApplication running(application);
  application.run([&] {
    measure(running);
    return 0;
  });
}

}  // namespace benchprogram
