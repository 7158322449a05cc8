#include "platform/open_url.h"

#include <gtest/gtest.h>

namespace {

TEST(OpenUrl, OnlyPlainWebAddressesAreHandedToTheDesktop) {
  EXPECT_TRUE(platform::isWebAddress("https://example.invalid/download/StrivoVR-1.2.zip"));
  EXPECT_TRUE(platform::isWebAddress("http://example.invalid"));
  EXPECT_FALSE(platform::isWebAddress(""));
  EXPECT_FALSE(platform::isWebAddress("C:\\Windows\\System32\\calc.exe"));
  EXPECT_FALSE(platform::isWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(platform::isWebAddress(" https://example.invalid"));
  EXPECT_FALSE(platform::isWebAddress("HTTPS://example.invalid")) << "kept strict: the server writes lower case";
  EXPECT_FALSE(platform::isWebAddress("https://example.invalid/\n--new-window"));
  EXPECT_FALSE(platform::isWebAddress(std::string("https://a\0b", 11)));
}

}  // namespace
