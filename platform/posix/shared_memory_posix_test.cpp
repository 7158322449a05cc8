#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/shared_memory.h"

namespace {

std::string uniqueName(const char* label) {
  return std::string("strivo_test_") + label + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

mode_t modeOf(const std::string& name) {
  struct stat info {};
  const int fd = ::shm_open(("/" + name).c_str(), O_RDONLY, 0);
  if (fd < 0) return 07777;
  ::fstat(fd, &info);
  ::close(fd);
  return info.st_mode & 0777;
}

// Sections are private to the user: created 0600 even under a lax umask; a section
// others may open is never read, and attaching to it for writing takes it back to 0600.
TEST(SharedMemoryPosix, SectionsArePrivateToTheUser) {
  const std::string name = uniqueName("mode");
  const mode_t previous = ::umask(0);
  platform::SharedMemory section;
  ASSERT_TRUE(section.createOrAttach(name, 64)) << section.error();
  ::umask(previous);
  EXPECT_EQ(modeOf(name), 0600u);

  // Someone opened it up to the group and others.
  const int fd = ::shm_open(("/" + name).c_str(), O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fchmod(fd, 0666), 0);
  ::close(fd);
  platform::SharedMemory reader;
  EXPECT_FALSE(reader.openExistingReadOnly(name, 64));
  EXPECT_FALSE(reader.isOpen());

  platform::SharedMemory writer;
  ASSERT_TRUE(writer.createOrAttach(name, 64)) << writer.error();
  EXPECT_EQ(modeOf(name), 0600u);
  EXPECT_TRUE(reader.openExistingReadOnly(name, 64)) << reader.error();
  platform::SharedMemory::removeName(name);
  EXPECT_EQ(modeOf(name), 07777u);
}

}  // namespace
