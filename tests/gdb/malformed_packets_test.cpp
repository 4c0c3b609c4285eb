// Bad input from the network: each case leaves the server serving the next client,
// which finds the core halted and answers its stop reason.
#include <gtest/gtest.h>

#include <cstdio>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

struct BadInput {
  const char* name;
  std::string bytes;
  const char* reply;  // what the server answers; empty: nothing is awaited
};

bool NextClientServed(int port) {
  RawClient client(port);
  client.SendPacket("?");
  return client.Receive().find("+$T05") == 0;
}

class MalformedPacketsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new GdbServerProcess(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static GdbServerProcess* server_;
};

GdbServerProcess* MalformedPacketsTest::server_ = nullptr;

TEST_F(MalformedPacketsTest, EachIsAnsweredAndTheNextClientServed) {
  ASSERT_TRUE(server_->Listening());
  const BadInput cases[] = {
      {"wrong checksum", "$g#00", "-"},
      {"checksum not hex", "$g#zz", "-"},
      {"unknown packet", Checksummed("qVantrelUnknown"), "+$#00"},
      {"unsupported breakpoint type", Checksummed("Z9,0,4"), "+$#00"},
      {"bad hex address", Checksummed("m0zz,4"), "+$E03#"},
      {"address too long", Checksummed("m123456789,4"), "+$E03#"},
      {"no length", Checksummed("m100"), "+$E03#"},
      {"write length mismatch", Checksummed("M100,4:00"), "+$E03#"},
      {"dangling escape", Checksummed("X100,1:}"), "+$E03#"},
      {"register out of range", Checksummed("p99"), "+$E03#"},
      {"register past the banked ones", Checksummed("p2c"), "+$E03#"},
      {"write past the banked ones", Checksummed("P2c=00000000"), "+$E03#"},
      {"range step without a range", Checksummed("vCont;r"), "+$E03#"},
      {"range step with a bad end", Checksummed("vCont;r100,zz:1"), "+$E03#"},
      {"short register file", Checksummed("G0011"), "+$E03#"},
      {"oversized packet", std::string("$") + std::string(0x5000, 'a') + "#00", "+$E03#"},
      {"noise between packets", std::string("xyz#") + Checksummed("qAttached"), "+$1#"},
  };
  for (const BadInput& bad : cases) {
    SCOPED_TRACE(bad.name);
    RawClient client(server_->Port());
    ASSERT_TRUE(client.Connected());
    client.SendBytes(bad.bytes);
    EXPECT_EQ(client.Receive().rfind(bad.reply, 0), 0u);
    client.Close();
    EXPECT_TRUE(NextClientServed(server_->Port()));
  }
}

TEST_F(MalformedPacketsTest, WithoutAcknowledgementsABadChecksumIsAnError) {
  RawClient client(server_->Port());
  client.SendPacket("QStartNoAckMode");
  EXPECT_EQ(client.Receive(), "+$OK#9a");
  client.SendBytes("$g#00");
  EXPECT_EQ(client.Receive().rfind("$E03#", 0), 0u);
  client.SendPacket("qAttached");
  EXPECT_EQ(client.Receive(), "$1#31");
}

TEST_F(MalformedPacketsTest, VanishingClientsLeaveTheServerServing) {
  const std::string vanishings[] = {
      "$m0,10",                                            // in the middle of a packet
      Checksummed("c"),                                    // while the core runs
      std::string("$X1000,400:") + std::string(100, 'a'),  // in the middle of a long write's data
  };
  for (const std::string& bytes : vanishings) {
    SCOPED_TRACE(bytes.substr(0, 16));
    {
      RawClient client(server_->Port());
      client.SendBytes(bytes);
    }
    EXPECT_TRUE(NextClientServed(server_->Port()));
  }
}

TEST_F(MalformedPacketsTest, MemoryThatCannotBeReadIsAnErrorNotBytes) {
  RawClient client(server_->Port());
  const std::string command = "region add 0x30000 0x1000 wo";
  std::string hex;
  for (const char c : command) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  client.SendPacket(std::string("qRcmd,") + hex);
  EXPECT_NE(client.Receive().find("+$"), std::string::npos);
  client.SendPacket("m30000,4");
  EXPECT_EQ(client.Receive(), "+$E01#a6");
  client.SendPacket("m30000,400");  // through a background transfer
  EXPECT_EQ(client.Receive(), "+$E01#a6");
  client.SendPacket("Z0,30000,4");
  EXPECT_EQ(client.Receive(), "+$E01#a6");
}

// The server's own single step (GDB steps by breakpoints itself; other clients send s).
TEST_F(MalformedPacketsTest, StepsFollowBranchesAndABreakpointOnThePcIsSteppedOff) {
  RawClient client(server_->Port());
  const std::pair<std::string, std::string> exchanges[] = {
      {"M1000,4:000000ea", "+$OK#9a"},  // 0x1000: b 0x1008
      {"M1008,4:0ef0a0e1", "+$OK#9a"},  // 0x1008: mov pc, lr
      {"M2000,4:feffffea", "+$OK#9a"},  // 0x2000: b .
      {"Pf=00100000", "+$OK#9a"},      {"Pe=00200000", "+$OK#9a"},
      {"s", "+$T050f:08100000;"},      {"vCont;s:1", "+$T050f:00200000;"},
      {"Z0,2000,4", "+$OK#9a"},        {"c", "+$T050f:00200000;"},  // stepped off, and back on it
      {"z0,2000,4", "+$OK#9a"},        {"m2000,4", "+$feffffea#"},
  };
  for (const auto& [packet, reply] : exchanges) {
    SCOPED_TRACE(packet);
    client.SendPacket(packet);
    EXPECT_EQ(client.Receive().rfind(reply, 0), 0u);
  }
}

// Two watchpoint units: the hardware breakpoints and data watchpoints share them, and a
// third is refused until one is removed.
TEST_F(MalformedPacketsTest, AThirdUnitPointIsRefused) {
  RawClient client(server_->Port());
  const struct {
    const char* packet;
    const char* reply;
  } exchanges[] = {
      {"Z1,100,4", "+$OK#9a"},  {"Z1,200,4", "+$OK#9a"},  {"Z1,300,4", "+$E01#a6"},
      {"Z2,1000,4", "+$E01#a6"}, {"z1,100,4", "+$OK#9a"},  {"Z2,1001,4", "+$E01#a6"},  // misaligned
      {"Z4,1000,3", "+$E01#a6"}, {"Z3,1000,8", "+$OK#9a"},  {"Z1,300,4", "+$E01#a6"},
      {"z3,1000,8", "+$OK#9a"},  {"Z1,300,4", "+$OK#9a"},   {"Z5,1000,4", "+$#00"},
      {"D", "+$OK#9a"},
  };
  for (const auto& exchange : exchanges) {
    client.SendPacket(exchange.packet);
    EXPECT_EQ(client.Receive(), exchange.reply) << exchange.packet;
  }
}

}  // namespace
}  // namespace vantrel::test
