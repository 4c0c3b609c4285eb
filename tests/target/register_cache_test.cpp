// The register cache on a scripted core: the exact order of the register accesses where
// it matters (the save with its PC alignment, the restore, the banked accesses), and the
// refusals that must not touch the cable.
#include "target/register_cache.h"

#include <gmock/gmock.h>

#include "target_fixture.h"

namespace vantrel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr char kSeriousError[] =
    "---------------------------------Serious error---------------------------------!!!\r\n";
constexpr uint32_t kSvcCpsr = 0x600000D3;

class RegisterCacheTest : public TargetTest {
 protected:
  // Halted in the mode that the saved CPSR holds, as after a save.
  void Halt(uint32_t cpsr = kSvcCpsr) {
    target::SetTargetState(Target(), target::kConnected);
    Cache(16) = cpsr;
  }
  uint32_t& Cache(int i) { return arm7::RegisterCache(session_.Core())[static_cast<std::size_t>(i)]; }
};

// r0-r14 = 0x100 + i, then the PC and the two stores of the CPSR read (r0, CPSR).
std::vector<uint32_t> SaveScript(uint32_t pc, uint32_t cpsr) {
  std::vector<uint32_t> stores;
  for (uint32_t i = 0; i < 15; ++i) stores.push_back(0x100 + i);
  stores.push_back(pc);
  stores.push_back(0x100);
  stores.push_back(cpsr);
  return stores;
}

std::vector<std::string> SaveReads() {
  std::vector<std::string> lines;
  for (int i = 0; i <= 15; ++i) lines.push_back("read r" + std::to_string(i));
  return lines;
}

TEST_F(RegisterCacheTest, SaveAlignsAHalfwordPcOnTheCoreAndKeepsItInTheCache) {
  Halt();
  arm7::SetArmStateAtEntry(session_.Core(), 0);  // stopped in Thumb state
  ScriptStores(SaveScript(0x1002, kSvcCpsr));
  ASSERT_EQ(target::SaveRegisters(Target()), kOk);

  std::vector<std::string> expected = SaveReads();
  expected.push_back("write r15=00001000");
  expected.push_back("read cpsr");
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
  EXPECT_EQ(Cache(15), 0x1002u);
  EXPECT_EQ(Cache(16), kSvcCpsr | 0x20) << "the CPSR tells the state the core stopped in";
  for (int i = 0; i < 15; ++i) EXPECT_EQ(Cache(i), 0x100u + static_cast<uint32_t>(i));
}

TEST_F(RegisterCacheTest, SaveLeavesAWordAlignedPcAlone) {
  for (const uint32_t pc : {0x1000u, 0x1001u, 0x1003u}) {
    SCOPED_TRACE(pc);
    port_.ClearLog();
    Halt();
    ScriptStores(SaveScript(pc, kSvcCpsr));
    ASSERT_EQ(target::SaveRegisters(Target()), kOk);
    const bool aligned = (pc & 3) == 0;
    EXPECT_EQ(Cache(15), aligned ? 0x1000u : 0x1002u);
    EXPECT_EQ(Ops().size(), aligned ? 17u : 18u);
  }
}

TEST_F(RegisterCacheTest, RestoreWritesTheCpsrFirstAndR0Last) {
  Halt();
  for (int i = 0; i < 16; ++i) Cache(i) = 0x200 + static_cast<uint32_t>(i);
  Cache(16) = 0x600000F3;  // T bit set: the core must stay in ARM state until resumed
  ASSERT_EQ(target::RestoreRegisters(Target()), kOk);

  std::vector<std::string> expected{"write cpsr=600000D3"};
  char line[32];
  for (int i = 15; i >= 0; --i) {
    std::snprintf(line, sizeof line, "write r%d=%08X", i, 0x200 + i);
    expected.emplace_back(line);
  }
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
}

TEST_F(RegisterCacheTest, BankedReadWithPreserveKeepsR0ToR7) {
  Halt();
  // CPSR read (r0, CPSR), r0-r7, the IRQ r13, then r0-r7 read back after their restore.
  std::vector<uint32_t> stores{0x100, kSvcCpsr};
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(0x100 + i);
  stores.push_back(0xABCD0013);
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(0x100 + i);
  ScriptStores(stores);

  uint32_t value = 0;
  ASSERT_EQ(target::ReadRegister(Target(), target::kIrqMode, 13, value, target::Preserve::kLowRegisters), kOk);
  EXPECT_EQ(value, 0xABCD0013u);
  std::vector<std::string> expected{"read cpsr"};
  for (int i = 0; i < 8; ++i) expected.push_back("read r" + std::to_string(i));
  expected.insert(expected.end(), {"write cpsr=600000D2", "read r13", "write cpsr=600000D3"});
  char line[32];
  for (int i = 0; i < 8; ++i) {
    std::snprintf(line, sizeof line, "write r%d=%08X", i, 0x100 + i);
    expected.emplace_back(line);
    expected.push_back("read r" + std::to_string(i));
  }
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
  EXPECT_EQ(TraceCount(kSeriousError), 0);
}

TEST_F(RegisterCacheTest, BankedReadWithoutPreserveOnlySwitchesTheMode) {
  Halt();
  ScriptStores({0x100, kSvcCpsr, 0xABCD0013});
  uint32_t value = 0;
  ASSERT_EQ(target::ReadRegister(Target(), target::kIrqMode, 13, value, target::Preserve::kNothing), kOk);
  EXPECT_EQ(value, 0xABCD0013u);
  EXPECT_THAT(Ops(), ElementsAre("read cpsr", "write cpsr=600000D2", "read r13", "write cpsr=600000D3"));
}

TEST_F(RegisterCacheTest, ARegisterThatDoesNotReadBackAsRestoredIsTraced) {
  Halt();
  std::vector<uint32_t> stores{0x100, kSvcCpsr};
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(0x100 + i);
  stores.push_back(0x5);
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(i == 3 ? 0xDEAD : 0x100 + i);
  ScriptStores(stores);
  uint32_t value = 0;
  EXPECT_EQ(target::ReadRegister(Target(), target::kFiqMode, 8, value, target::Preserve::kLowRegisters), kOk)
      << "the read still succeeds";
  EXPECT_EQ(TraceCount(kSeriousError), 1);
}

// A register that the halted core's own mode shares with the mode named is one register:
// reached through the cache like the plain name, so that both agree and a write survives
// the restore before the next run.
TEST_F(RegisterCacheTest, ABankedNameForTheCurrentModesRegisterGoesThroughTheCache) {
  constexpr uint32_t kUsr = 0x60000010, kSys = 0x6000001F, kFiq = 0x600000D1, kIrq = 0x600000D2;
  const struct {
    uint32_t cpsr;
    int mode;
    int index;
  } shared[] = {
      {kSvcCpsr, target::kUserMode, 0},        {kSvcCpsr, target::kUserMode, 3},
      {kSvcCpsr, target::kFiqMode, 7},         {kSvcCpsr, target::kUserMode, 9},
      {kIrq, target::kUserMode, 12},           {kFiq, target::kFiqMode, 8},
      {kSvcCpsr, target::kSupervisorMode, 13}, {kIrq, target::kIrqMode, 14},
      {kSys, target::kUserMode, 13},           {kUsr, target::kUserMode, 14},
      {kSvcCpsr, target::kUserMode, 15},       {kSvcCpsr, target::kUserMode, target::kCpsrIndex},
  };
  for (const auto& [cpsr, mode, index] : shared) {
    SCOPED_TRACE(testing::Message() << std::hex << cpsr << " mode " << std::dec << mode << " r" << index);
    port_.ClearLog();
    Halt(cpsr);
    Cache(index) = 0x1234;
    uint32_t value = 0;
    ASSERT_EQ(target::ReadRegister(Target(), mode, index, value, target::Preserve::kLowRegisters), kOk);
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(NoPortAccess());

    if (index == target::kCpsrIndex || index == target::kPcIndex) continue;  // written below and by name
    ScriptStores({0x5678});                                                  // the register as read back
    ASSERT_EQ(target::WriteRegister(Target(), mode, index, 0x5678), kOk);
    std::string name = "r";  // appended: GCC 12 at -O3 warns (-Wrestrict) on "r" + std::string
    name += std::to_string(index);
    EXPECT_THAT(Ops(), ElementsAre("write " + name + "=00005678", "read " + name));
    EXPECT_EQ(Cache(index), 0x5678u);
  }
}

// Another mode's own register is reached on the core, with the mode switched.
TEST_F(RegisterCacheTest, ABankedNameForAnotherModesRegisterSwitchesTheMode) {
  const struct {
    uint32_t cpsr;
    int mode;
    int index;
    const char* switchTo;
  } banked[] = {
      {kSvcCpsr, target::kFiqMode, 8, "write cpsr=600000D1"},
      {0x600000D1, target::kUserMode, 12, "write cpsr=600000DF"},
      {kSvcCpsr, target::kUserMode, 13, "write cpsr=600000DF"},
      {0x6000001F, target::kSupervisorMode, 14, "write cpsr=60000013"},
      {0x600000D2, target::kSupervisorMode, target::kSpsrIndex, "write cpsr=600000D3"},
  };
  for (const auto& [cpsr, mode, index, switchTo] : banked) {
    SCOPED_TRACE(testing::Message() << std::hex << cpsr << " mode " << std::dec << mode << " index " << index);
    port_.ClearLog();
    Halt(cpsr);
    if (index == target::kSpsrIndex) {
      ScriptStores({0x100, cpsr, 0x100, 0xABCD});  // the status registers store r0 first
    } else {
      ScriptStores({0x100, cpsr, 0xABCD});
    }
    uint32_t value = 0;
    ASSERT_EQ(target::ReadRegister(Target(), mode, index, value, target::Preserve::kNothing), kOk);
    EXPECT_EQ(value, 0xABCDu);
    const std::vector<std::string> ops = Ops();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[0], "read cpsr");
    EXPECT_EQ(ops[1], switchTo);
  }
}

// User mode could not switch the core back; its registers are reached in System mode.
TEST_F(RegisterCacheTest, UserRegistersAreReachedThroughSystemMode) {
  Halt();
  ScriptStores({0x100, kSvcCpsr, 0x3333});
  uint32_t value = 0;
  ASSERT_EQ(target::ReadRegister(Target(), target::kUserMode, 13, value, target::Preserve::kNothing), kOk);
  EXPECT_THAT(Ops(), ElementsAre("read cpsr", "write cpsr=600000DF", "read r13", "write cpsr=600000D3"));
}

TEST_F(RegisterCacheTest, ACoreInUserModeIsNotSwitchedToAnotherMode) {
  Halt(0x60000010);
  Cache(13) = 0x4444;
  ScriptStores({0x100, 0x60000010, 0x100, 0x60000010});
  uint32_t value = 0;
  EXPECT_EQ(target::ReadRegister(Target(), target::kIrqMode, 13, value, target::Preserve::kLowRegisters),
            kInvalidParameters);
  EXPECT_EQ(target::WriteRegister(Target(), target::kIrqMode, 13, 1), kInvalidParameters);
  ASSERT_EQ(target::ReadRegister(Target(), target::kUserMode, 13, value, target::Preserve::kLowRegisters), kOk);
  EXPECT_EQ(value, 0x4444u);
  EXPECT_THAT(Ops(), ElementsAre("read cpsr", "read cpsr"));
}

TEST_F(RegisterCacheTest, CurrentModeReadsComeFromTheCacheExceptTheSpsr) {
  Halt();
  Cache(13) = 0x1234;
  uint32_t value = 0;
  ASSERT_EQ(target::ReadRegister(Target(), target::kCurrentMode, 13, value, target::Preserve::kLowRegisters), kOk);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_TRUE(NoPortAccess());

  ScriptStores({0x100, 0x10});
  ASSERT_EQ(
      target::ReadRegister(Target(), target::kCurrentMode, target::kSpsrIndex, value, target::Preserve::kLowRegisters),
      kOk);
  EXPECT_EQ(value, 0x10u);
  EXPECT_THAT(Ops(), ElementsAre("read spsr"));
}

TEST_F(RegisterCacheTest, CurrentModeWritesReadTheRegisterBackIntoTheCache) {
  Halt();
  ScriptStores({0x77});  // r5 as read back
  ASSERT_EQ(target::WriteRegister(Target(), target::kCurrentMode, 5, 0x55), kOk);
  EXPECT_THAT(Ops(), ElementsAre("write r5=00000055", "read r5"));
  EXPECT_EQ(Cache(5), 0x77u);
}

TEST_F(RegisterCacheTest, StatusRegisterWritesKeepR0) {
  Halt();
  ScriptStores({0x0A, 0x0B, 0x600000D3});  // r0, then the CPSR read back (r0, CPSR)
  // The core stays in ARM state; the T bit written is the state it resumes in.
  ASSERT_EQ(target::WriteRegister(Target(), target::kCurrentMode, target::kCpsrIndex, 0x600000F3), kOk);
  EXPECT_THAT(Ops(), ElementsAre("read r0", "write cpsr=600000D3", "write r0=0000000A", "read cpsr"));
  EXPECT_EQ(Cache(16), 0x600000F3u);
  EXPECT_EQ(arm7::ArmStateAtEntry(session_.Core()), 0);

  port_.ClearLog();
  Cache(16) = 0x1F;
  ScriptStores({0x0C});
  ASSERT_EQ(target::WriteRegister(Target(), target::kCurrentMode, target::kSpsrIndex, 0x600000F3), kOk);
  EXPECT_THAT(Ops(), ElementsAre("read r0", "write spsr=600000F3", "write r0=0000000C"));
  EXPECT_EQ(Cache(16), 0x1Fu) << "the cache has no SPSR";
}

TEST_F(RegisterCacheTest, BankedWriteAlwaysKeepsR0ToR7) {
  Halt();
  std::vector<uint32_t> stores{0x100, kSvcCpsr};
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(0x100 + i);
  for (uint32_t i = 0; i < 8; ++i) stores.push_back(0x100 + i);
  ScriptStores(stores);
  ASSERT_EQ(target::WriteRegister(Target(), target::kAbortMode, 14, 0xCAFE), kOk);
  const std::vector<std::string> ops = Ops();
  ASSERT_EQ(ops.size(), 1u + 8 + 3 + 16);
  EXPECT_THAT(std::vector<std::string>(ops.begin() + 9, ops.begin() + 12),
              ElementsAre("write cpsr=600000D7", "write r14=0000CAFE", "write cpsr=600000D3"));
  EXPECT_EQ(ops.back(), "read r7");
}

// r8-r14 of the mode left go back to its bank from the cache (a memory transfer may have
// used them on the core), and the cache takes those of the mode entered.
TEST_F(RegisterCacheTest, ACpsrWriteThatChangesTheModeSwapsTheBankedRegisters) {
  Halt();
  for (int i = 8; i <= 14; ++i) Cache(i) = 0x300 + static_cast<uint32_t>(i);
  std::vector<uint32_t> stores{0x0A, 0x0A, 0x600000D2};  // r0, then the CPSR read back (r0, CPSR)
  for (uint32_t i = 8; i <= 14; ++i) stores.push_back(0x1200 + i);
  ScriptStores(stores);
  ASSERT_EQ(target::WriteRegister(Target(), target::kCurrentMode, target::kCpsrIndex, 0x600000D2), kOk);

  std::vector<std::string> expected;
  char line[32];
  for (int i = 8; i <= 14; ++i) {
    std::snprintf(line, sizeof line, "write r%d=%08X", i, 0x300 + i);
    expected.emplace_back(line);
  }
  expected.insert(expected.end(), {"read r0", "write cpsr=600000D2", "write r0=0000000A", "read cpsr"});
  for (int i = 8; i <= 14; ++i) expected.push_back("read r" + std::to_string(i));
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
  EXPECT_EQ(Cache(16), 0x600000D2u);
  for (int i = 8; i <= 14; ++i) EXPECT_EQ(Cache(i), 0x1200u + static_cast<uint32_t>(i));
}

TEST_F(RegisterCacheTest, RefusalsMakeNoPortAccess) {
  uint32_t value = 0;
  for (const uint32_t state : {target::kNothingOpened, target::kTargetDown, target::kRunning}) {
    SCOPED_TRACE(state);
    target::SetTargetState(Target(), state);
    EXPECT_EQ(target::SaveRegisters(Target()), kStatusError);
    EXPECT_EQ(target::RestoreRegisters(Target()), kStatusError);
    EXPECT_EQ(target::ReadRegister(Target(), 0, 13, value, target::Preserve::kLowRegisters), kStatusError);
    EXPECT_EQ(target::ReadRegister(Target(), target::kIrqMode, 13, value, target::Preserve::kLowRegisters),
              kStatusError);
    EXPECT_EQ(target::WriteRegister(Target(), 0, 5, 1), kStatusError);
  }
  Halt();
  for (const auto& [mode, index] : {std::pair{0, 18}, std::pair{19, 18}, std::pair{19, -1}, std::pair{20, 13},
                                    std::pair{31, 13}, std::pair{1, 0}}) {
    SCOPED_TRACE(testing::Message() << mode << "/" << index);
    EXPECT_EQ(target::ReadRegister(Target(), mode, index, value, target::Preserve::kLowRegisters), kInvalidParameters);
    EXPECT_EQ(target::WriteRegister(Target(), mode, index, 1), kInvalidParameters);
  }
  EXPECT_TRUE(NoPortAccess());
}

}  // namespace
}  // namespace vantrel::test
