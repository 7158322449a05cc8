// Writes well-formed SolarXR messages as the SolarXR fuzzer's starting corpus.
#include <fstream>
#include <string>

#include "testing/solarxr_server/feed_builder.h"

namespace feed = testsupport::solarxr;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  const auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  write("two_devices", feed::buildUpdate({{feed::FakeTracker{}.display("chest").rotated(feed::pitchQuaternion(20))},
                                          {feed::FakeTracker{}.custom("waist").accelerated({0, 9.8f, 0}),
                                           feed::FakeTracker{}.withoutInfo().rotated(feed::pitchQuaternion(-5))}}));
  write("other_message", feed::buildOtherMessage(7));
  return 0;
}
