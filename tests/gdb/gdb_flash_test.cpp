// GDB and the board's flash through `vantrel gdbserver --flash cfi@0`: gdb-multiarch
// loads the flash variant of the example firmware, breaks in flash (a hardware
// breakpoint by the memory map), runs, steps and compares the sections; a raw client
// sees the memory map and the refusals of the flash packets.
#include <gtest/gtest.h>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

constexpr int kGdbTimeoutMs = 120000;
const std::string kBoard = "--board-memory flash@0:1M:amd16,ram@0x100000:256K";

std::string Payload(const std::string& reply) {
  const size_t dollar = reply.find('$');
  const size_t hash = reply.rfind('#');
  return dollar == std::string::npos || hash == std::string::npos ? reply : reply.substr(dollar + 1, hash - dollar - 1);
}

std::string Ask(RawClient& client, const std::string& packet) {
  client.SendPacket(packet);
  return Payload(client.Receive(60000));
}

// A RAM work area for the flash loops, as `monitor region add 0x120000 0x8000 rw` gives
// it; the server answers with the command's output, hex-encoded.
std::string AddWorkArea(RawClient& client) {
  std::string packet = "qRcmd,";
  for (const char letter : std::string("region add 0x120000 0x8000 rw")) {
    constexpr const char* kDigits = "0123456789abcdef";
    const auto c = static_cast<unsigned char>(letter);
    packet += kDigits[c >> 4];
    packet += kDigits[c & 15];
  }
  return Ask(client, packet);
}

TEST(GdbFlash, LoadBreakRunStepAndCompareTheSectionsInFlash) {
  GdbServerProcess server("127.0.0.1", "--flash cfi@0", kBoard);
  ASSERT_TRUE(server.Listening());
  const std::string command =
      std::string("exec gdb-multiarch -nx -q -batch ") + EXAMPLE_DEMO_FLASH_ELF +
      " -ex 'set pagination off' -ex 'target extended-remote 127.0.0.1:" + std::to_string(server.Port()) +
      "' -ex 'monitor region add 0x120000 0x8000 rw' -ex 'info mem' -ex load -ex 'break main' "
      "-ex continue -ex delete -ex next -ex next -ex compare-sections -ex detach 2>&1";
  ChildProcess gdb({"/bin/sh", "-c", command});
  gdb.CloseInput();
  const std::string output = gdb.ReadAll(kGdbTimeoutMs);
  EXPECT_EQ(gdb.Wait(kGdbTimeoutMs), 0) << output;
  for (const char* expected : {"flash blocksize 0x2000", "Loading section .text, size 0x", "Start address 0x00000020",
                               "Breakpoint 1, main () at ", "Section .text, range 0x0 -- 0x", "matched.",
                               "Inferior 1 (Remote target) detached"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n--- gdb said:\n" << output;
  }
  EXPECT_EQ(output.find("MIS-MATCHED"), std::string::npos) << output;
}

TEST(GdbFlash, TheMemoryMapAndTheRefusalsOfTheFlashPackets) {
  GdbServerProcess server("127.0.0.1", "--flash cfi@0", kBoard);
  ASSERT_TRUE(server.Listening());
  RawClient client(server.Port());
  ASSERT_TRUE(client.Connected());
  EXPECT_NE(Ask(client, "qSupported:xmlRegisters=arm").find("qXfer:memory-map:read+"), std::string::npos);
  const std::string map = Ask(client, "qXfer:memory-map:read::0,3fff");
  EXPECT_NE(map.find("<memory type=\"flash\" start=\"0x0\" length=\"0x"), std::string::npos) << map;
  EXPECT_NE(map.find("<property name=\"blocksize\">0x10000</property>"), std::string::npos) << map;
  EXPECT_NE(map.find("<memory type=\"ram\" start=\"0x100000\" length=\"0xfff00000\"/>"), std::string::npos) << map;

  ASSERT_EQ(AddWorkArea(client).rfind("726567696f6e", 0), 0u);  // "region..."
  EXPECT_EQ(Ask(client, "M10,4:01020304"), "E01");       // flash takes no plain store
  EXPECT_EQ(Ask(client, "vFlashErase:100,100"), "E01");  // not whole sectors
  EXPECT_EQ(Ask(client, "vFlashWrite:100000:ab"), "E.memtype");
  EXPECT_EQ(Ask(client, "vFlashErase:0,4000"), "OK");  // the first boot sector, 16 KiB
  EXPECT_EQ(Ask(client, "vFlashWrite:10:\x01\x02"), "OK");
  EXPECT_EQ(Ask(client, "vFlashDone"), "OK");
  EXPECT_EQ(Ask(client, "m10,4"), "0102ffff");
  // Without an erase in between, a 1 where the flash holds a 0 cannot be programmed.
  EXPECT_EQ(Ask(client, "vFlashWrite:10:\x03\x02"), "OK");
  EXPECT_EQ(Ask(client, "vFlashDone"), "E01");
  EXPECT_EQ(Ask(client, "m10,4"), "0102ffff");
}

// Intel blocks are locked at power-up: programming one that was not erased (and so not
// unlocked) is refused with a reason; an erase unlocks it first.
TEST(GdbFlash, ALockedIntelBlockIsRefusedUntilErased) {
  GdbServerProcess server("127.0.0.1", "--flash cfi@0", "--board-memory flash@0:1M:intel16,ram@0x100000:256K");
  ASSERT_TRUE(server.Listening());
  RawClient client(server.Port());
  ASSERT_TRUE(client.Connected());
  ASSERT_NE(Ask(client, "qSupported").find("qXfer:memory-map:read+"), std::string::npos);
  ASSERT_EQ(AddWorkArea(client).rfind("726567696f6e", 0), 0u);  // "region..."
  EXPECT_EQ(Ask(client, "vFlashWrite:10:\x01\x02"), "OK");
  EXPECT_EQ(Ask(client, "vFlashDone"), "E01");
  EXPECT_EQ(Ask(client, "m10,2"), "ffff");
}

}  // namespace
}  // namespace vantrel::test
