// Clients that would hold the server for everyone: each is dropped after the server's
// time limit (a short one here) and the next client is served; a second client meanwhile
// is refused at once with a reason, GDB's own included.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

constexpr int kBoundMs = 20000;  // far above the server's limit: a hang, not a slow pass
constexpr auto kTrickle = std::chrono::milliseconds(300);
const std::string kRefusal = "$E.already serving a client#";

// A client that waits to be served, asking again while the server is busy with another.
bool ServedWithin(int port, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    RawClient client(port);
    client.SendPacket("?");
    const std::string reply = client.Receive();
    if (reply.find("+$T05") == 0) return true;
    if (reply.find(kRefusal) == std::string::npos) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

struct Hostile {
  const char* name;
  std::string first;    // sent at once
  std::string trickle;  // then one byte of it at a time, over and over
  bool reads;           // false: it never reads a reply, and takes few bytes at a time
};

TEST(ClientLimitsTest, AClientThatHoldsTheServerIsDroppedAndTheNextServed) {
  GdbServerProcess server("", "--client-timeout 1");
  ASSERT_TRUE(server.Listening()) << server.Greeting();
  const Hostile cases[] = {
      {"silent", "", "", true},
      {"trickling its first packet", "", "$qSupported:multiprocess+;swbreak+;hwbreak+", true},
      {"trickling a packet after its first", Checksummed("?"), "$m0,4", true},
      {"asking for resends without reading", Checksummed("m0,2000") + std::string(3000, '-'), "", false},
  };
  for (const Hostile& hostile : cases) {
    SCOPED_TRACE(hostile.name);
    RawClient client(server.Port(), hostile.reads ? 0 : 1024);
    ASSERT_TRUE(client.Connected());
    client.SendBytes(hostile.first);
    std::atomic<bool> stop = false;
    std::thread trickler([&] {
      for (size_t i = 0; !stop && !hostile.trickle.empty(); ++i) {
        client.SendBytes(hostile.trickle.substr(i % hostile.trickle.size(), 1));
        std::this_thread::sleep_for(kTrickle);
      }
    });
    EXPECT_TRUE(ServedWithin(server.Port(), kBoundMs));
    stop = true;
    trickler.join();
  }
}

TEST(ClientLimitsTest, ASecondClientIsRefusedAtOnceAndTheFirstKeepsItsSession) {
  GdbServerProcess server;
  ASSERT_TRUE(server.Listening()) << server.Greeting();
  RawClient first(server.Port());
  first.SendPacket("?");
  ASSERT_EQ(first.Receive().find("+$T05"), 0u);

  RawClient second(server.Port());
  second.SendPacket("qSupported");
  EXPECT_NE(second.Receive().find(kRefusal), std::string::npos);
  EXPECT_TRUE(second.ClosedByServer(kBoundMs));

  ChildProcess gdb({"/bin/sh", "-c",
                    "exec gdb-multiarch -nx -q -batch -ex 'target extended-remote 127.0.0.1:" +
                        std::to_string(server.Port()) + "' 2>&1"});
  const std::string said = gdb.ReadAll(kBoundMs);
  EXPECT_NE(said.find("already serving a client"), std::string::npos) << said;
  EXPECT_NE(gdb.Wait(kBoundMs), -1);

  first.SendPacket("?");
  EXPECT_EQ(first.Receive().find("+$T05"), 0u);
}

// A refused client that floods the server holds up neither the session nor the next
// (nor, if it comes as the session ends and is served, anyone beyond the time limit).
TEST(ClientLimitsTest, AFloodingSecondClientHoldsNobodyUp) {
  GdbServerProcess server("", "--client-timeout 2");
  ASSERT_TRUE(server.Listening()) << server.Greeting();
  std::atomic<bool> stop = false;
  std::thread flooder;
  {
    RawClient first(server.Port());
    first.SendPacket("?");
    ASSERT_EQ(first.Receive().find("+$T05"), 0u);
    flooder = std::thread([&] {
      RawClient flood(server.Port());
      const std::string noise(4096, '-');
      while (!stop && flood.Connected()) flood.SendBytes(noise);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // refused meanwhile
    first.SendPacket("?");
    EXPECT_EQ(first.Receive().find("+$T05"), 0u);
  }
  EXPECT_TRUE(ServedWithin(server.Port(), kBoundMs));
  stop = true;
  flooder.join();
}

TEST(ClientLimitsTest, OnlyAPublicAddressIsWarnedAbout) {
  const std::string warning = "anyone who can reach this port has full control of the target";
  for (const bool everywhere : {false, true}) {
    // One at a time: one host holds the machine's cable.
    GdbServerProcess server("", "", everywhere ? "0.0.0.0" : "127.0.0.1");
    ASSERT_TRUE(server.Listening()) << server.Greeting();
    EXPECT_EQ(server.Greeting().find(warning) != std::string::npos, everywhere) << server.Greeting();
  }
}

}  // namespace
}  // namespace vantrel::test
