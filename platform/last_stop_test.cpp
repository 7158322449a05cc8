#include "platform/last_stop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/last_stop_test_child.h"
#include "platform/shared_memory.h"

namespace laststoptest {

// The child's side: publishes a record and datagrams for both slots, installs the
// handlers, then crashes as `spec` ("<kind> <port> <section>") asks.
void crashAsChild(const std::string& spec) {
  std::istringstream in(spec);
  std::string kind, section;
  unsigned port = 0;
  in >> kind >> port >> section;
  static platform::SharedMemory record;
  if (!record.createOrAttach(section, 64)) std::_Exit(90);
  platform::setLastStopRecord(record.data(), 64);
  const platform::Endpoint to = platform::Endpoint::loopback(static_cast<std::uint16_t>(port));
  platform::setLastStopDatagrams(platform::LastStopSlot::VRChatOsc, to, {"stale osc"});
  platform::setLastStopDatagrams(platform::LastStopSlot::VRChatOsc, to, {"osc rest 1", "osc rest 2"});
  platform::setLastStopDatagrams(platform::LastStopSlot::Hook, to, {"L OFF"});
  platform::installLastStopHandler();
  crash(kind);
  std::_Exit(91);  // the crash did not happen
}

}  // namespace laststoptest

namespace {

using Texts = std::vector<std::string>;

TEST(LastStop, ACrashingChildSendsTheRestDatagramsClearsTheRecordAndDiesAsItWould) {
  for (const laststoptest::CrashRow& row : laststoptest::crashRows()) {
    SCOPED_TRACE(row.kind);
    platform::UdpSocket listener;
    ASSERT_TRUE(listener.open());
    ASSERT_TRUE(listener.bind(platform::Endpoint::loopback(0)));
    ASSERT_TRUE(listener.setReceiveTimeout(2000));
    platform::Endpoint at;
    ASSERT_TRUE(listener.localEndpoint(at));
    const std::string section = "strivo_test_last_stop_" + std::to_string(at.port);
    platform::SharedMemory record;
    ASSERT_TRUE(record.createOrAttach(section, 64));
    std::memset(record.data(), 0xAB, 64);

    const laststoptest::Death death = laststoptest::runChild(row.kind + " " + std::to_string(at.port) + " " + section);
    EXPECT_EQ(death.bySignal, row.death.bySignal);
    EXPECT_EQ(death.code, row.death.code);

    Texts received;
    char buffer[256];
    for (int i = 0; i < 4; ++i) {
      const auto r = listener.receiveFrom(std::as_writable_bytes(std::span(buffer)));
      if (r.status != platform::ReceiveStatus::Received) break;
      received.emplace_back(buffer, r.bytes);
      listener.setReceiveTimeout(200);
    }
    EXPECT_EQ(received, (Texts{"osc rest 1", "osc rest 2", "L OFF"}));
    const auto* bytes = static_cast<const unsigned char*>(record.data());
    int nonZero = 0;
    for (int i = 0; i < 64; ++i) nonZero += bytes[i] != 0;
    EXPECT_EQ(nonZero, 0);
    record.close();
    platform::SharedMemory::removeName(section);
  }
}

}  // namespace
