#include "app/outputs/vrchat_osc_output.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>

namespace outputs {
namespace {

using platform::Endpoint;
using platform::ReceiveStatus;

// VRChat's side: a loopback socket that reads the datagrams as they arrive.
class VRChatOsc : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vrchat.open());
    ASSERT_TRUE(vrchat.bind(Endpoint::loopback(0)));
    ASSERT_TRUE(vrchat.localEndpoint(listening));
    ASSERT_TRUE(vrchat.setReceiveTimeout(2000));
    settings.vrchat_osc_address.set("127.0.0.1");
    settings.vrchat_osc_port = listening.port;
  }

  // The next datagram's bytes, or nothing after the time-out.
  std::string receive() {
    std::vector<std::byte> buffer(256);
    const auto result = vrchat.receiveFrom(buffer);
    if (result.status != ReceiveStatus::Received) return {};
    return std::string(reinterpret_cast<const char*>(buffer.data()), result.bytes);
  }

  // The next datagram as "<address> <value>", checked against the fixed layout: the
  // address padded to 4, the type tag ",f" or ",i" padded to 4, one 4-byte value.
  std::string next() {
    const std::string text = receive();
    if (text.empty()) return "(nothing)";
    const std::string address = text.substr(0, text.find('\0'));
    const std::size_t tags = (address.size() + 4) & ~std::size_t{3};
    if (text.size() != tags + 8 || text.compare(tags, 4, std::string(",") + text[tags + 1] + '\0' + '\0') != 0)
      return "(bad layout)";
    std::uint32_t bits = 0;
    for (std::size_t i = tags + 4; i < text.size(); ++i) bits = (bits << 8) | static_cast<unsigned char>(text[i]);
    std::ostringstream line;
    line << address << ' ';
    if (text[tags + 1] == 'f')
      line << std::bit_cast<float>(bits);
    else
      line << static_cast<std::int32_t>(bits) << 'i';
    return line.str();
  }

  std::string log() {
    std::string all;
    for (const auto& line : logger.lines()) all += line.substr(line.find(']') + 2) + "\n";
    return all;
  }

  core::Settings settings;
  std::ostringstream echo;
  core::Logger logger{&echo};
  platform::UdpSocket vrchat;
  Endpoint listening;
};

TEST_F(VRChatOsc, SendsAxesAndJumpWithTheExactLayoutAndZerosOnCleanup) {
  VRChatOscOutput osc(settings, logger);
  osc.update(0.3f, 0.3f);  // before init: nothing
  osc.setJump(true);
  osc.init();
  ASSERT_TRUE(osc.initialized());
  settings.vrchat_osc_port = listening.port + 1;
  osc.init();  // already initialised: keeps the first destination, logs nothing
  EXPECT_EQ(osc.destination(), listening);
  EXPECT_EQ(log(), "VRChat OSC Output initialized (127.0.0.1:" + std::to_string(listening.port) + ")\n");

  osc.update(0.5f, 0.5f);
  EXPECT_EQ(next(), "/input/Horizontal 0.5");  // the first datagram: nothing came before init
  EXPECT_EQ(next(), "/input/Vertical -0.5");
  osc.update(2.0f, -3.0f);
  EXPECT_EQ(receive(), std::string("/input/Horizontal\0\0\0,f\0\0\x3F\x80\0\0", 28));
  EXPECT_EQ(receive(), std::string("/input/Vertical\0,f\0\0\x3F\x80\0\0", 24));
  osc.update(std::numeric_limits<float>::quiet_NaN(), 0.0f);  // never NaN, nor -0 from negating y
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(receive(), std::string("/input/Vertical\0,f\0\0\0\0\0\0", 24));

  // The jump goes 1 then 0, once per change; the datagram is 20 bytes.
  osc.setJump(true);
  osc.setJump(true);
  osc.setJump(false);
  EXPECT_EQ(receive(), std::string("/input/Jump\0,i\0\0\0\0\0\x01", 20));
  EXPECT_EQ(next(), "/input/Jump 0i");

  // Clean-up while jumping: zeros for both axes and the jump. The next session's
  // first press is sent, since VRChat was told the jump is up.
  osc.setJump(true);
  EXPECT_EQ(next(), "/input/Jump 1i");
  osc.cleanup();
  EXPECT_FALSE(osc.initialized());
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(next(), "/input/Vertical 0");
  EXPECT_EQ(next(), "/input/Jump 0i");
  osc.update(1, 1);  // after clean-up: nothing
  settings.vrchat_osc_port = listening.port;
  osc.init();
  osc.setJump(true);
  EXPECT_EQ(next(), "/input/Jump 1i");
  EXPECT_NE(log().find("VRChat OSC Output cleaned up\n"), std::string::npos) << log();
}

TEST_F(VRChatOsc, AddressesAreResolvedOrRefusedWithAReason) {
  // A host name the system resolves locally.
  settings.vrchat_osc_address.set("localhost");
  {
    VRChatOscOutput osc(settings, logger);
    osc.init();
    ASSERT_TRUE(osc.initialized()) << log();
    EXPECT_EQ(osc.destination(), listening);
    EXPECT_NE(
        log().find("VRChat OSC Output initialized (localhost:" + std::to_string(listening.port) + ") -> 127.0.0.1\n"),
        std::string::npos)
        << log();
    osc.update(-0.25f, 0);
    EXPECT_EQ(next(), "/input/Horizontal -0.25");
    EXPECT_EQ(next(), "/input/Vertical 0");
    osc.setJump(true);
    EXPECT_EQ(next(), "/input/Jump 1i");
  }
  // Destroyed while open: VRChat is told to stand still.
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(next(), "/input/Vertical 0");
  EXPECT_EQ(next(), "/input/Jump 0i");

  // Names that do not resolve and ports outside 1..65535 are refused, and said so.
  const auto noName = [](const std::string&, std::uint16_t, Endpoint&) { return false; };
  const struct {
    std::string address;
    int port;
    std::string line;
  } refused[] = {
      {"vrchat-pc", listening.port,
       "VRChat OSC: Cannot resolve address \"vrchat-pc\" to an IPv4 address; nothing "
       "will be sent\n"},
      {"127.0.0.1", 0, "VRChat OSC: Port 0 is not a UDP port (1-65535); nothing will be sent\n"},
      {"127.0.0.1", 65536, "VRChat OSC: Port 65536 is not a UDP port (1-65535); nothing will be sent\n"},
  };
  for (const auto& c : refused) {
    logger.clear();
    settings.vrchat_osc_address.set(c.address);
    settings.vrchat_osc_port = c.port;
    VRChatOscOutput osc(settings, logger, noName);
    osc.init();
    EXPECT_FALSE(osc.initialized()) << c.address << ":" << c.port;
    EXPECT_EQ(log(), c.line);
    osc.update(1, 1);
  }
  // The edges of the port range are accepted.
  for (int port : {1, 65535}) {
    settings.vrchat_osc_address.set("127.0.0.1");
    settings.vrchat_osc_port = port;
    VRChatOscOutput osc(settings, logger);
    osc.init();
    EXPECT_TRUE(osc.initialized()) << port;
    EXPECT_EQ(osc.destination().port, port);
  }
  settings.vrchat_osc_port = listening.port;
  settings.vrchat_osc_address.set("127.0.0.1");
  VRChatOscOutput osc(settings, logger);
  osc.init();
  osc.setJump(true);
  EXPECT_EQ(next(), "/input/Jump 1i");  // none of the refused ones sent anything
}

}  // namespace
}  // namespace outputs
