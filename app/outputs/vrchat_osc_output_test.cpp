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
    config.osc = {"127.0.0.1", listening.port};
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

  OutputConfig config;
  std::ostringstream echo;
  core::Logger logger{&echo};
  platform::UdpSocket vrchat;
  Endpoint listening;
};

TEST_F(VRChatOsc, SendsAxesAndJumpWithTheExactLayoutAndZerosOnCleanup) {
  VRChatOscOutput osc(logger);
  osc.configure(config);
  osc.stick(0.3f, -0.3f);  // before start: nothing
  osc.press(Action::Jump);
  osc.start();
  ASSERT_TRUE(osc.initialized());
  config.osc.port = listening.port + 1;
  osc.configure(config);
  osc.start();  // already started: keeps the first destination, logs nothing
  EXPECT_EQ(osc.destination(), listening);
  EXPECT_EQ(log(), "VRChat OSC Output initialized (127.0.0.1:" + std::to_string(listening.port) + ")\n");

  osc.stick(0.5f, -0.5f);
  EXPECT_EQ(next(), "/input/Horizontal 0.5");  // the first datagram: nothing came before start
  EXPECT_EQ(next(), "/input/Vertical -0.5");
  osc.stick(2.0f, 3.0f);
  EXPECT_EQ(receive(), std::string("/input/Horizontal\0\0\0,f\0\0\x3F\x80\0\0", 28));
  EXPECT_EQ(receive(), std::string("/input/Vertical\0,f\0\0\x3F\x80\0\0", 24));
  osc.stick(std::numeric_limits<float>::quiet_NaN(), -0.0f);  // never NaN, nor -0
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(receive(), std::string("/input/Vertical\0,f\0\0\0\0\0\0", 24));

  // The jump goes 1 then 0, once per change; the datagram is 20 bytes.
  osc.press(Action::Jump);
  osc.press(Action::Jump);
  osc.release(Action::Jump);
  EXPECT_EQ(receive(), std::string("/input/Jump\0,i\0\0\0\0\0\x01", 20));
  EXPECT_EQ(next(), "/input/Jump 0i");

  // Centring while jumping releases the jump and rests the axes.
  osc.press(Action::Jump);
  osc.centre();
  EXPECT_EQ(next(), "/input/Jump 1i");
  EXPECT_EQ(next(), "/input/Jump 0i");
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(next(), "/input/Vertical 0");
  osc.press(Action::Crouch);  // VRChat's OSC input has no crouch or second stage
  osc.press(Action::SecondStage);

  // A stop while jumping: zeros for both axes and the jump. The next session's
  // first press is sent, since VRChat was told the jump is up.
  osc.press(Action::Jump);
  EXPECT_EQ(next(), "/input/Jump 1i");
  osc.stop();
  EXPECT_FALSE(osc.initialized());
  EXPECT_EQ(next(), "/input/Horizontal 0");
  EXPECT_EQ(next(), "/input/Vertical 0");
  EXPECT_EQ(next(), "/input/Jump 0i");
  osc.stick(1, 1);  // after the stop: nothing
  config.osc.port = listening.port;
  osc.configure(config);
  osc.start();
  osc.press(Action::Jump);
  EXPECT_EQ(next(), "/input/Jump 1i");
  EXPECT_NE(log().find("VRChat OSC Output cleaned up\n"), std::string::npos) << log();
}

TEST_F(VRChatOsc, AddressesAreResolvedOrRefusedWithAReason) {
  // A host name the system resolves locally.
  config.osc.address = "localhost";
  {
    VRChatOscOutput osc(logger);
    osc.configure(config);
    osc.start();
    ASSERT_TRUE(osc.initialized()) << log();
    EXPECT_EQ(osc.destination(), listening);
    EXPECT_NE(
        log().find("VRChat OSC Output initialized (localhost:" + std::to_string(listening.port) + ") -> 127.0.0.1\n"),
        std::string::npos)
        << log();
    osc.stick(-0.25f, 0);
    EXPECT_EQ(next(), "/input/Horizontal -0.25");
    EXPECT_EQ(next(), "/input/Vertical 0");
    osc.press(Action::Jump);
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
    config.osc = {c.address, c.port};
    VRChatOscOutput osc(logger, noName);
    osc.configure(config);
    osc.start();
    EXPECT_FALSE(osc.initialized()) << c.address << ":" << c.port;
    EXPECT_EQ(log(), c.line);
    osc.stick(1, 1);
  }
  // The edges of the port range are accepted.
  for (int port : {1, 65535}) {
    config.osc = {"127.0.0.1", port};
    VRChatOscOutput osc(logger);
    osc.configure(config);
    osc.start();
    EXPECT_TRUE(osc.initialized()) << port;
    EXPECT_EQ(osc.destination().port, port);
  }
  config.osc = {"127.0.0.1", listening.port};
  VRChatOscOutput osc(logger);
  osc.configure(config);
  osc.start();
  osc.press(Action::Jump);
  EXPECT_EQ(next(), "/input/Jump 1i");  // none of the refused ones sent anything
}

}  // namespace
}  // namespace outputs
