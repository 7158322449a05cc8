#include "app/core/service_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace core {
namespace {

struct RecordingService : IService {
  RecordingService(std::string name, std::vector<std::string>& calls) : name(std::move(name)), calls(calls) {}
  void initialize() override { calls.push_back(name + ".initialize"); }
  void cleanup() override { calls.push_back(name + ".cleanup"); }
  std::string name;
  std::vector<std::string>& calls;
};

TEST(ServiceManager, InitialisesAndCleansUpInRegistrationOrderWithTheirLogLines) {
  Settings settings;
  Logger logger(nullptr);
  ServiceManager manager(settings, logger);
  std::vector<std::string> calls;
  RecordingService tracking("tracking", calls), output("output", calls), bridge("bridge", calls);
  manager.addService(tracking);
  manager.addService(output);
  manager.addService(bridge);
  manager.setUpdateCheckLauncher([&] { calls.push_back("update"); });

  manager.initializeAll();
  manager.cleanupAll();
  EXPECT_EQ(calls, (std::vector<std::string>{"tracking.initialize", "output.initialize", "bridge.initialize", "update",
                                             "tracking.cleanup", "output.cleanup", "bridge.cleanup"}));
  const auto lines = logger.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].ends_with("[INFO ] ServiceManager: Initializing all services..."));
  EXPECT_TRUE(lines[1].ends_with("[INFO ] ServiceManager: Cleaning up all services..."));
}

TEST(ServiceManager, NoUpdateCheckWhenSwitchedOff) {
  Settings settings;
  settings.config.edit([](core::Config& c) { c.program.check_for_updates = false; });
  Logger logger(nullptr);
  ServiceManager manager(settings, logger);
  int launched = 0;
  manager.setUpdateCheckLauncher([&] { ++launched; });
  manager.initializeAll();
  EXPECT_EQ(launched, 0);
  settings.config.edit([](core::Config& c) { c.program.check_for_updates = true; });
  manager.initializeAll();
  EXPECT_EQ(launched, 1);
}

}  // namespace
}  // namespace core
