#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/local_address.h"
#include "platform/network.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "platform/termination.h"
#include "platform/udp_socket.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / ("strivo_platform_" + name + std::to_string(std::rand()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Networking, StartsAndCanBeStartedAgain) {
  EXPECT_EQ(startNetworking(), 0);
  EXPECT_EQ(startNetworking(), 0);
}

TEST(SingleInstanceMarker, SecondMarkerOfTheSameNameSeesTheFirst) {
  const std::string name = "Strivo_Test_Mutex_" + std::to_string(std::rand());
  SingleInstanceMarker first(name);
  ASSERT_EQ(first.status(), SingleInstanceMarker::Status::Created) << first.errorCode();
  {
    SingleInstanceMarker second(name);
    EXPECT_EQ(second.status(), SingleInstanceMarker::Status::AlreadyRunning);
  }
  SingleInstanceMarker other(name + "_other");
  EXPECT_EQ(other.status(), SingleInstanceMarker::Status::Created);
  first.release();
  SingleInstanceMarker afterRelease(name);
  EXPECT_EQ(afterRelease.status(), SingleInstanceMarker::Status::Created);
}

TEST(LocalAddress, IsADottedQuadAndFallsBackToLoopback) {
  Endpoint parsed;
  EXPECT_TRUE(Endpoint::parse(localIPv4Address(), 0, parsed)) << localIPv4Address();
  EXPECT_EQ(localIPv4Address("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(localIPv4Address("not an address"), "127.0.0.1");
}

TEST(Paths, UserDataFolderIsCreatedAndExecutablePathIsOurs) {
  const std::string folder = userDataFolder("StrivoVR-platform-test");
  EXPECT_NE(folder, ".");
  EXPECT_TRUE(fs::is_directory(folder)) << folder;
  EXPECT_NE(folder.find("StrivoVR-platform-test"), std::string::npos);
  fs::remove(folder);

  const std::string exe = executablePath();
  EXPECT_NE(exe.find("platform_test"), std::string::npos) << exe;
  EXPECT_TRUE(fs::exists(exe));
  EXPECT_TRUE(fs::is_directory(executableFolder()));
  EXPECT_EQ(fs::path(joinPath(executableFolder(), fs::path(exe).filename().string())), fs::path(exe));
}

TEST(AtomicFile, ReplacesWholeContentsAndLeavesNoTemporary) {
  const fs::path folder = freshFolder("replace");
  const std::string path = (folder / "file.json").string();
  std::string error;
  ASSERT_TRUE(replaceFileAtomically(path, "first version, longer", error)) << error;
  ASSERT_TRUE(replaceFileAtomically(path, std::string("a\r\nb\0c", 6), error)) << error;
  EXPECT_EQ(readAll(path), std::string("a\r\nb\0c", 6));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  fs::remove_all(folder);
}

TEST(AtomicFile, FailureKeepsWhatWasThereAndSaysWhy) {
  const fs::path folder = freshFolder("failure");
  std::string error;
  EXPECT_FALSE(replaceFileAtomically((folder / "missing" / "file.json").string(), "x", error));
  EXPECT_FALSE(error.empty());

  // A folder in the way cannot be replaced by a file: it stays, and no temporary is left.
  fs::create_directories(folder / "taken" / "inside");
  error.clear();
  EXPECT_FALSE(replaceFileAtomically((folder / "taken").string(), "x", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(folder / "taken" / "inside"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  fs::remove_all(folder);
}

TEST(Termination, RequestWakesTheWaiter) {
  installTerminationHandler();
  std::thread requester([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    requestTermination();
  });
  const auto started = std::chrono::steady_clock::now();
  waitForTermination();
  requester.join();
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(40));
}

}  // namespace
}  // namespace platform
