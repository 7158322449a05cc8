#include "app/core/logger.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>
#include <thread>

namespace core {
namespace {

std::chrono::system_clock::time_point localTimeAt(int hour, int minute, int second, int millis) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 14;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(millis);
}

TEST(Logger, LineHasLocalTimeMillisecondsTagAndMessage) {
  std::ostringstream echo;
  auto now = localTimeAt(9, 5, 3, 7);
  Logger logger(&echo, [&] { return now; });
  logger.info("TrackingService: Initializing...");
  now = localTimeAt(23, 59, 59, 999);
  logger.warn("w");
  logger.error("e");
  logger.log(Logger::Debug, "d");
  logger.log(7, "odd level");
  const auto lines = logger.lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "09:05:03.007 [INFO ] TrackingService: Initializing...");
  EXPECT_EQ(lines[1], "23:59:59.999 [WARN ] w");
  EXPECT_EQ(lines[2], "23:59:59.999 [ERROR] e");
  EXPECT_EQ(lines[3], "23:59:59.999 [DEBUG] d");
  EXPECT_EQ(lines[4], "23:59:59.999  odd level");
  EXPECT_EQ(echo.str().substr(0, lines[0].size() + 1), lines[0] + "\n");
}

TEST(Logger, KeepsTheNewestThousandLines) {
  Logger logger(nullptr);
  for (int i = 1; i <= 1001; ++i) logger.info("message " + std::to_string(i));
  const auto lines = logger.lines();
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_NE(lines.front().find("message 2"), std::string::npos);
  EXPECT_TRUE(lines.back().ends_with("message 1001"));
}

TEST(Logger, ClearEmptiesTheListAndTheNextMessageIsTheOnlyLine) {
  Logger logger(nullptr);
  logger.info("one");
  logger.clear();
  EXPECT_TRUE(logger.lines().empty());
  logger.info("two");
  ASSERT_EQ(logger.lines().size(), 1u);
  EXPECT_TRUE(logger.lines()[0].ends_with("two"));
}

TEST(Logger, LinesFromManyThreadsStayWhole) {
  std::ostringstream echo;
  Logger logger(&echo);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) logger.info("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& writer : writers) writer.join();
  const auto lines = logger.lines();
  ASSERT_EQ(lines.size(), 800u);
  std::istringstream echoed(echo.str());
  std::string line;
  std::size_t index = 0;
  while (std::getline(echoed, line)) {
    ASSERT_LT(index, lines.size());
    EXPECT_EQ(line, lines[index++]);  // echo and list agree line for line, in order
  }
  EXPECT_EQ(index, 800u);
}

// Console lines reach their stream exactly as written and the Debug tab's list with
// time and tag; packet lines only the stream; the streams gather whole lines per thread.
TEST(Logger, ConsoleLinesKeepTheirExactTextAndPacketLinesStayOffTheList) {
  std::ostringstream out, err;
  Logger logger(
      &out, [] { return localTimeAt(9, 5, 3, 7); }, &err);
  logger.write(Logger::Line::Out, "[owotrack] Server thread started.");
  logger.write(Logger::Line::Packet, "[owotrack] Accel packet from 127.0.0.1");
  logger.write(Logger::Line::Err, "[OSC] ERROR: bind() failed on port 9000");
  std::thread other([&] { logger.out() << "[Pad] from " << 2 << " threads\n"; });
  logger.out() << "[Hook] half ";
  other.join();
  logger.out() << "a line" << std::endl;
  logger.flushPackets();
  EXPECT_EQ(out.str(),
            "[owotrack] Server thread started.\n[owotrack] Accel packet from 127.0.0.1\n"
            "[Pad] from 2 threads\n[Hook] half a line\n");
  EXPECT_EQ(err.str(), "[OSC] ERROR: bind() failed on port 9000\n");
  EXPECT_EQ(logger.lines(), (std::vector<std::string>{"09:05:03.007 [INFO ] [owotrack] Server thread started.",
                                                      "09:05:03.007 [ERROR] [OSC] ERROR: bind() failed on port 9000",
                                                      "09:05:03.007 [INFO ] [Pad] from 2 threads",
                                                      "09:05:03.007 [INFO ] [Hook] half a line"}));
}

}  // namespace
}  // namespace core
