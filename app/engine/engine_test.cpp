#include "app/engine/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace engine {
namespace {

struct FixedClock : Clock {
  double now() const override { return 12.5; }
};

struct RecordingService : core::IService {
  std::vector<std::string>& calls;
  explicit RecordingService(std::vector<std::string>& calls) : calls(calls) {}
  void initialize() override { calls.push_back("initialize"); }
  void cleanup() override { calls.push_back("cleanup"); }
};

TEST(Engine, StartRunsServicesThenPassesAndStopJoinsBeforeCleanup) {
  core::Settings settings;
  core::Logger logger(nullptr);
  core::ServiceManager services(settings, logger);
  std::vector<std::string> calls;
  RecordingService service(calls);
  services.addService(service);
  FixedClock clock;
  Engine engine(settings, logger, services, clock);

  engine.start();
  EXPECT_TRUE(engine.running());
  EXPECT_EQ(calls, std::vector<std::string>{"initialize"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (engine.passes() < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(engine.passes(), 3);

  const auto stopStarted = std::chrono::steady_clock::now();
  engine.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, std::chrono::seconds(1));
  const long passesAtStop = engine.passes();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(engine.passes(), passesAtStop);
  EXPECT_EQ(calls, (std::vector<std::string>{"initialize", "cleanup"}));
  engine.stop();  // a second stop does nothing
  EXPECT_EQ(calls.size(), 2u);

  const auto lines = logger.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.ends_with("[INFO ] Engine: Logic initialized."); }),
            lines.end());
}

}  // namespace
}  // namespace engine
