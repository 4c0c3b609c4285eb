// GDB writes the program over its own breakpoints (a `set var` on code, a patch, a
// second `load`): the write lands, reads show it, the breakpoint stays planted, and
// taking the breakpoint out (z0 or a detach) leaves the new bytes in memory.
#include <gtest/gtest.h>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

// 0x1ff8: mov r0, r0 twice; 0x2000: the program under the breakpoint; 0x2008: b .
constexpr char kProgram[] = "M1ff8,14:0000a0e10000a0e11122334400000000feffffea";

struct WriteOver {
  const char* name;
  const char* kind;     // 4: an ARM pattern, 2: a Thumb one, at 0x2000
  std::string packet;   // the write, M or X
  const char* readsAs;  // m1ff8,10 after the write: the new program, never a pattern
};

// X carries raw bytes (these need no escape).
std::string Binary(const std::string& head, std::initializer_list<unsigned char> bytes) {
  return head + std::string(bytes.begin(), bytes.end());
}

void Expect(RawClient& client, const std::string& packet, const std::string& replyStart) {
  SCOPED_TRACE(packet.substr(0, 12));
  client.SendPacket(packet);
  const std::string reply = client.Receive();
  EXPECT_EQ(reply.rfind(replyStart, 0), 0u) << reply;
}

class BreakpointWritesTest : public ::testing::Test {
 protected:
  GdbServerProcess server_;
};

TEST_F(BreakpointWritesTest, WritesOverAPlantedBreakpointKeepItAndTheNewBytes) {
  ASSERT_TRUE(server_.Listening());
  const WriteOver cases[] = {
      {"ARM, X over the whole pattern", "4", Binary("X2000,4:", {0x01, 0x00, 0xa0, 0xe3}), "0000a0e10000a0e10100a0e300000000"},
      {"ARM, X from below into the pattern", "4", Binary("X1ffe,4:", {0xa0, 0xe3, 0x55, 0x66}), "0000a0e10000a0e355663344" "00000000"},
      {"ARM, M from inside past the pattern", "4", "M2002,4:77889900", "0000a0e10000a0e111227788" "99000000"},
      {"Thumb, X over the pattern and beyond", "2", Binary("X2000,4:", {0x01, 0x20, 0x02, 0x21}), "0000a0e10000a0e10120022100000000"},
      {"Thumb, M over its second byte only", "2", "M2001,2:aabb", "0000a0e10000a0e111aabb44" "00000000"},
  };
  for (const WriteOver& write : cases) {
    SCOPED_TRACE(write.name);
    RawClient client(server_.Port());
    Expect(client, kProgram, "+$OK");
    Expect(client, std::string("Z0,2000,") + write.kind, "+$OK");
    Expect(client, write.packet, "+$OK");
    Expect(client, "m1ff8,10", std::string("+$") + write.readsAs + "#");
    if (std::string(write.kind) == "4") {
      // Still planted: the core runs from the nops and stops on the pattern.
      Expect(client, "Pf=f81f0000", "+$OK");
      Expect(client, "c", "+$T050f:00200000;");
    }
    Expect(client, std::string("z0,2000,") + write.kind, "+$OK");
    Expect(client, "m1ff8,10", std::string("+$") + write.readsAs + "#");
    Expect(client, "Pf=08200000", "+$OK");  // the core spins while no client is attached
  }
}

TEST_F(BreakpointWritesTest, ADetachLeavesTheNewBytesInMemory) {
  ASSERT_TRUE(server_.Listening());
  {
    RawClient client(server_.Port());
    Expect(client, "M2000,4:11223344", "+$OK");
    Expect(client, "Z0,2000,4", "+$OK");
    Expect(client, Binary("X2000,4:", {0xfe, 0xff, 0xff, 0xea}), "+$OK");  // b .
    Expect(client, "Pf=00200000", "+$OK");
    Expect(client, "D", "+$OK");
  }
  RawClient next(server_.Port());  // stops the core where it spins
  Expect(next, "m2000,4", "+$feffffea#");
  Expect(next, "p0f", "+$00200000#");
}

}  // namespace
}  // namespace vantrel::test
