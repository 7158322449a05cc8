#include "platform/shared_memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

std::string uniqueName(const char* label) {
  return std::string("strivo_test_") + label + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Two handles of one name see the same bytes, whichever of them created it; a
// read-only view follows the writer; missing or too small sections are refused.
TEST(SharedMemory, CreateAttachAndReadOnlyViewsShareOneSection) {
  const std::string name = uniqueName("share");
  platform::SharedMemory creator;
  ASSERT_TRUE(creator.createOrAttach(name, 144)) << creator.error();
  ASSERT_EQ(creator.size(), 144u);
  const auto* fresh = static_cast<const unsigned char*>(creator.data());
  for (std::size_t i = 0; i < 144; ++i) ASSERT_EQ(fresh[i], 0) << "byte " << i;

  platform::SharedMemory attacher;
  ASSERT_TRUE(attacher.createOrAttach(name, 144)) << attacher.error();
  std::memcpy(static_cast<char*>(creator.data()) + 140, "ABCD", 4);
  EXPECT_EQ(std::memcmp(static_cast<char*>(attacher.data()) + 140, "ABCD", 4), 0);

  platform::SharedMemory reader;
  ASSERT_TRUE(reader.openExistingReadOnly(name, 144)) << reader.error();
  static_cast<char*>(attacher.data())[0] = 7;
  EXPECT_EQ(static_cast<const char*>(reader.data())[0], 7);

  // A larger view of the same section would read past its end.
  platform::SharedMemory tooLarge;
  EXPECT_FALSE(tooLarge.createOrAttach(name, 4096 * 4));
  EXPECT_FALSE(tooLarge.isOpen());
  EXPECT_FALSE(tooLarge.openExistingReadOnly(name, 4096 * 4));
  EXPECT_FALSE(tooLarge.error().empty());

  reader.close();
  EXPECT_FALSE(reader.isOpen());
  EXPECT_EQ(reader.data(), nullptr);

  platform::SharedMemory missing;
  EXPECT_FALSE(missing.openExistingReadOnly(uniqueName("missing"), 64));
  EXPECT_FALSE(missing.error().empty());
  platform::SharedMemory::removeName(name);
}

}  // namespace
