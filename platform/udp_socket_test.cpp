#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace platform {
namespace {

UdpSocket boundLoopbackSocket() {
  UdpSocket socket;
  EXPECT_TRUE(socket.open());
  EXPECT_TRUE(socket.bind(Endpoint::loopback(0))) << socket.lastError();
  return socket;
}

Endpoint localOf(const UdpSocket& socket) {
  Endpoint local;
  EXPECT_TRUE(socket.localEndpoint(local));
  return local;
}

TEST(Endpoint, ParsesDottedQuadsAndRejectsEverythingElse) {
  Endpoint out;
  ASSERT_TRUE(Endpoint::parse("127.0.0.1", 4445, out));
  EXPECT_EQ(out, Endpoint::loopback(4445));
  EXPECT_EQ(out.addressText(), "127.0.0.1");
  ASSERT_TRUE(Endpoint::parse("192.168.1.255", 1, out));
  EXPECT_EQ(out.addressText(), "192.168.1.255");
  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "-1.2.3.4", "1..2.3"})
    EXPECT_FALSE(Endpoint::parse(bad, 1, out)) << bad;
}

TEST(UdpSocket, DeliversADatagramOverLoopbackWithItsSender) {
  UdpSocket receiver = boundLoopbackSocket();
  UdpSocket sender = boundLoopbackSocket();
  const Endpoint to = localOf(receiver);
  EXPECT_EQ(to.address, 0x7F000001u);
  EXPECT_NE(to.port, 0);

  ASSERT_TRUE(sender.sendTo(std::string("hello"), to));
  ASSERT_TRUE(receiver.setReceiveTimeout(2000));
  std::vector<std::byte> buffer(64);
  const ReceiveResult result = receiver.receiveFrom(buffer);
  ASSERT_EQ(result.status, ReceiveStatus::Received);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), result.bytes), "hello");
  EXPECT_EQ(result.from, localOf(sender));
}

TEST(UdpSocket, ReportsAnOverLongDatagramAsTruncatedInsteadOfCuttingIt) {
  UdpSocket receiver = boundLoopbackSocket();
  UdpSocket sender = boundLoopbackSocket();
  ASSERT_TRUE(receiver.setReceiveTimeout(2000));
  ASSERT_TRUE(sender.sendTo(std::string(2000, 'x'), localOf(receiver)));
  ASSERT_TRUE(sender.sendTo(std::string(1024, 'y'), localOf(receiver)));

  std::vector<std::byte> buffer(1024);
  EXPECT_EQ(receiver.receiveFrom(buffer).status, ReceiveStatus::Truncated);
  // The next datagram, exactly the buffer's size, arrives whole.
  const ReceiveResult exact = receiver.receiveFrom(buffer);
  EXPECT_EQ(exact.status, ReceiveStatus::Received);
  EXPECT_EQ(exact.bytes, 1024u);
}

TEST(UdpSocket, ReceiveTimeOutReturnsWithoutData) {
  UdpSocket receiver = boundLoopbackSocket();
  ASSERT_TRUE(receiver.setReceiveTimeout(50));
  std::vector<std::byte> buffer(16);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(receiver.receiveFrom(buffer).status, ReceiveStatus::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(UdpSocket, SecondBindToATakenPortIsAddressInUse) {
  UdpSocket first = boundLoopbackSocket();
  UdpSocket second;
  ASSERT_TRUE(second.open());
  EXPECT_FALSE(second.bind(localOf(first)));
  EXPECT_TRUE(second.lastErrorIsAddressInUse()) << second.lastError();
}

TEST(UdpSocket, ClosedSocketReportsClosedAndMoveTransfersOwnership) {
  UdpSocket original = boundLoopbackSocket();
  const Endpoint bound = localOf(original);
  UdpSocket moved = std::move(original);
  EXPECT_FALSE(original.isOpen());
  EXPECT_TRUE(moved.isOpen());
  EXPECT_EQ(localOf(moved), bound);
  moved.close();
  std::vector<std::byte> buffer(16);
  EXPECT_EQ(moved.receiveFrom(buffer).status, ReceiveStatus::Closed);
}

}  // namespace
}  // namespace platform
