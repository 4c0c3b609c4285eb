// How a client's session ends decides how the next one finds the core: halted where it
// was after a disconnect, reset and halted after a kill, running only after a detach;
// and `monitor reset` does what its word says.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

// 0x2000: add r0, r0, #1; b 0x2000. A running core counts in r0.
constexpr char kCounter[] = "M2000,8:010080e2fdffffea";

std::string Hex(const std::string& text) {
  std::string hex;
  for (const char c : text) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

// The payload of "+$payload#cs".
std::string Payload(const std::string& reply) {
  const size_t dollar = reply.find('$');
  const size_t hash = reply.rfind('#');
  return dollar == std::string::npos || hash < dollar ? "" : reply.substr(dollar + 1, hash - dollar - 1);
}

std::string Ask(RawClient& client, const std::string& packet) {
  client.SendPacket(packet);
  return Payload(client.Receive());
}

std::string Monitor(RawClient& client, const std::string& command) {
  const std::string hex = Ask(client, "qRcmd," + Hex(command));
  std::string text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return text;
}

// Sets the counter going from r0 = 0 at 0x2000, with a breakpoint in its loop.
void ArmTheCounter(RawClient& client) {
  ASSERT_EQ(Ask(client, kCounter), "OK");
  ASSERT_EQ(Ask(client, "P0=00000000"), "OK");
  ASSERT_EQ(Ask(client, "Pf=00200000"), "OK");
  ASSERT_EQ(Ask(client, "Z0,2004,4"), "OK");
}

class SessionEndTest : public ::testing::Test {
 protected:
  GdbServerProcess server_;
};

TEST_F(SessionEndTest, ADisconnectLeavesTheCoreHaltedAndTheProgramClean) {
  ASSERT_TRUE(server_.Listening());
  {
    RawClient client(server_.Port());
    ArmTheCounter(client);
  }  // gone without a detach
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  RawClient next(server_.Port());
  EXPECT_EQ(Ask(next, "p0"), "00000000") << "the core ran";
  EXPECT_EQ(Ask(next, "p0f"), "00200000");
  EXPECT_EQ(Ask(next, "m2004,4"), "fdffffea") << "the pattern stayed in memory";
}

TEST_F(SessionEndTest, AKillResetsAndLeavesTheCoreHalted) {
  ASSERT_TRUE(server_.Listening());
  {
    RawClient client(server_.Port());
    ArmTheCounter(client);
    client.SendPacket("k");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  RawClient next(server_.Port());
  EXPECT_EQ(Ask(next, "p0f"), "00000000");
  EXPECT_EQ(Ask(next, "m2004,4"), "fdffffea");
}

TEST_F(SessionEndTest, MonitorResetDoesWhatItSays) {
  ASSERT_TRUE(server_.Listening());
  RawClient client(server_.Port());
  ASSERT_EQ(Ask(client, kCounter), "OK");
  ASSERT_EQ(Ask(client, "M0,4:fe0700ea"), "OK");  // 0: b 0x2000, into the counter
  EXPECT_NE(Monitor(client, "reset init").find("halted at address 0 (there is no init script to run)"),
            std::string::npos);
  EXPECT_EQ(Ask(client, "p0f"), "00000000");
  EXPECT_NE(Monitor(client, "reset run").find("the core runs from address 0"), std::string::npos);
  // GDB's continue waits for the running core; its interrupt stops it.
  client.SendPacket("c");
  EXPECT_EQ(client.Receive(500), "+");
  client.SendBytes("\x03");
  EXPECT_EQ(client.Receive().rfind("$T02", 0), 0u);
  const std::string pc = Ask(client, "p0f");
  EXPECT_TRUE(pc == "00200000" || pc == "04200000") << "pc " << pc << ": the core did not run from 0";
  EXPECT_EQ(Monitor(client, "reset sideways"), "usage: monitor reset [halt|run|init]\n");
}

}  // namespace
}  // namespace vantrel::test
