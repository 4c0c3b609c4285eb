// Registers by name and by mode set through the loaded library, compared with the
// simulated board's own registers: the current mode after a stop, banked registers of
// every mode, PC writes, and a core stopped in Thumb state.
#include <gmock/gmock.h>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;
using vsim::Mode;

constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // B .

// A status-register value that tells the modes apart: flags from the high bits of base.
constexpr uint32_t Psr(uint32_t base) { return (base & 0xF000) << 16 | 0x10; }

class RegistersTest : public MemoryTest {
 protected:
  std::vector<uint32_t> ReadNames(const std::vector<std::string>& names) {
    const JtagResponse response = ReadRegistersByNames(names);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    EXPECT_EQ(response.echo, VANTREL_CMD_READ_REGISTERS);
    return ResponseWords(response);
  }

  std::vector<uint32_t> ReadMode(const std::string& mode) {
    const JtagResponse response = ReadRegistersByMode(mode);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    return ResponseWords(response);
  }

  void ExpectWrite(const std::string& name, uint32_t value) {
    const JtagResponse response = WriteRegister(name, value);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << name << ": " << ResponseText(response);
    EXPECT_EQ(response.echo, VANTREL_CMD_WRITE_REGISTER);
  }

  std::vector<uint32_t> BoardLowRegisters() {
    std::vector<uint32_t> values;
    for (int i = 0; i < 8; ++i) values.push_back(board().Reg(i));
    return values;
  }
};

TEST_F(RegistersTest, CurAndUsrAfterAStopAreTheBoardsRegisters) {
  LoadWords(0, {0xEA0003FE /* B 0x1000 */});
  LoadWords(0x1000, {
                        0xE3A01011,  // 0x1000 MOV r1, #0x11
                        0xE3A0C0CC,  // 0x1004 MOV r12, #0xCC
                        0xE2800001,  // 0x1008 ADD r0, r0, #1
                        0xE2522001,  // 0x100C SUBS r2, r2, #1
                        0xEAFFFFFC,  // 0x1010 B 0x1008
                    });
  OpenAndConnect();
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(333);
  ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
  ASSERT_TRUE(board().InDebugState());

  const std::vector<uint32_t> cur = ReadMode("cur");
  ASSERT_EQ(cur.size(), 18u);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(cur[static_cast<std::size_t>(i)], board().Reg(i)) << "r" << i;
  EXPECT_EQ(cur[15], board().HaltAddress());
  EXPECT_EQ(cur[16], board().Cpsr());
  EXPECT_EQ(cur[17], board().Spsr(Mode::kSupervisor));
  EXPECT_EQ(cur[1], 0x11u);
  EXPECT_EQ(cur[12], 0xCCu);

  const std::vector<uint32_t> usr = ReadMode("USR");
  EXPECT_EQ(usr, std::vector<uint32_t>(cur.begin(), cur.begin() + 17));
  EXPECT_EQ(ReadNames({"r0", "sp", "lr", "pc", "cpsr"}),
            (std::vector<uint32_t>{cur[0], cur[13], cur[14], cur[15], cur[16]}));
}

TEST_F(RegistersTest, RegistersWrittenByNameReachTheCoreAndThePcTakesEffectAtTheNextRun) {
  LoadWords(0, {kBranchToSelf});
  LoadWords(0x2000, {
                        0xE3A05055,  // 0x2000 MOV r5, #0x55
                        kBranchToSelf,
                    });
  OpenAndConnect();
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  // The saved PC can be written in any state; nothing reaches the running core.
  ExpectWrite("  PC  ", 0x2000);
  EXPECT_EQ(ResponseText(WriteRegister("r3", 1)), "status error");
  ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
  EXPECT_EQ(board().HaltAddress(), 0u);

  ExpectWrite("R3", 0x33333333);
  ExpectWrite("\tlr\n", 0x1234);
  ExpectWrite("cpsr", 0x800000D3);
  EXPECT_EQ(board().Reg(3), 0x33333333u);
  EXPECT_EQ(board().Reg(14), 0x1234u);
  EXPECT_EQ(board().Cpsr(), 0x800000D3u);
  EXPECT_EQ(ReadNames({"r3", "cpsr"}), (std::vector<uint32_t>{0x33333333, 0x800000D3}));

  ExpectWrite("pc_usr", 0x2000);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(20);
  EXPECT_EQ(board().Reg(5), 0x55u);
  EXPECT_EQ(board().Reg(15), 0x2004u);
  EXPECT_EQ(board().Reg(3), 0x33333333u) << "the cache went back to the core";
}

TEST_F(RegistersTest, BankedRegistersOfEveryModeByNameAndByModeSet) {
  LoadWords(0, {kBranchToSelf});
  OpenAndConnect();
  for (int i = 0; i < 8; ++i) {
    std::string name = "r";  // not "r" + ...: GCC 12 at -O3 warns (-Wrestrict) inside that operator+
    name += std::to_string(i);
    ExpectWrite(name, 0xA0 + static_cast<uint32_t>(i));
  }
  const std::vector<uint32_t> low = BoardLowRegisters();
  const uint32_t cpsr = board().Cpsr();

  for (int i = 8; i <= 14; ++i) board().SetBankedReg(Mode::kFiq, i, 0xF000 + static_cast<uint32_t>(i));
  const std::pair<Mode, uint32_t> modes[] = {
      {Mode::kIrq, 0x1200}, {Mode::kSupervisor, 0x1300}, {Mode::kAbort, 0x1700}, {Mode::kUndefined, 0x1B00}};
  for (const auto& [mode, base] : modes) {
    board().SetBankedReg(mode, 13, base + 13);
    board().SetBankedReg(mode, 14, base + 14);
    board().SetSpsr(mode, Psr(base));
  }
  // The core is halted in supervisor mode: its own r13 and r14 are in the cache.
  ExpectWrite("sp", 0x130D);
  ExpectWrite("lr", 0x130E);
  board().SetSpsr(Mode::kFiq, Psr(0xF000));
  board().SetBankedReg(Mode::kUser, 13, 0x1013);
  board().SetBankedReg(Mode::kUser, 14, 0x1014);

  // By name: r0-r7 and the mode of the core are kept.
  EXPECT_EQ(ReadNames({"r13_irq", "  R13_SVC  ", "spsr_fiq", "r8_fiq", "sp_usr", "lr_usr", "spsr_und", "r14_abt"}),
            (std::vector<uint32_t>{0x120D, 0x130D, Psr(0xF000), 0xF008, 0x1013, 0x1014, Psr(0x1B00), 0x170E}));
  EXPECT_EQ(BoardLowRegisters(), low);
  EXPECT_EQ(board().Cpsr(), cpsr);

  ExpectWrite("r13_irq", 0x9913);
  ExpectWrite("spsr_abt", 0x60000017);
  ExpectWrite("r10_fiq", 0x990A);
  ExpectWrite("sp_usr", 0x9910);
  EXPECT_EQ(board().BankedReg(Mode::kIrq, 13), 0x9913u);
  EXPECT_EQ(board().Spsr(Mode::kAbort), 0x60000017u);
  EXPECT_EQ(board().BankedReg(Mode::kFiq, 10), 0x990Au);
  EXPECT_EQ(board().BankedReg(Mode::kUser, 13), 0x9910u);
  EXPECT_EQ(BoardLowRegisters(), low);
  EXPECT_EQ(board().Cpsr(), cpsr);

  // By mode set.
  EXPECT_EQ(ReadMode("fiq"),
            (std::vector<uint32_t>{0xF008, 0xF009, 0x990A, 0xF00B, 0xF00C, 0xF00D, 0xF00E, Psr(0xF000)}));
  EXPECT_EQ(ReadMode("irq"), (std::vector<uint32_t>{0x9913, 0x120E, Psr(0x1200)}));
  EXPECT_EQ(ReadMode("svc"), (std::vector<uint32_t>{0x130D, 0x130E, Psr(0x1300)}));
  EXPECT_EQ(ReadMode("abt"), (std::vector<uint32_t>{0x170D, 0x170E, 0x60000017}));
  EXPECT_EQ(ReadMode("und"), (std::vector<uint32_t>{0x1B0D, 0x1B0E, Psr(0x1B00)}));
  EXPECT_EQ(board().Cpsr(), cpsr);

  // The sets leave r0 to the cache, which the next run writes back.
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(10);
  ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
  EXPECT_EQ(BoardLowRegisters(), low);
  EXPECT_EQ(board().Cpsr(), cpsr);
}

// Two names of one physical register, a write through the first name.
struct SameRegister {
  const char* written;
  const char* other;
  int index;  // 0-14, 16 the CPSR, 17 the SPSR, of the board's current mode
  uint32_t value;
};

class SameRegisterTest : public RegistersTest {
 protected:
  uint32_t OnBoard(int index) {
    if (index == 16) return board().Cpsr();
    if (index == 17) return board().Spsr(static_cast<Mode>(board().Cpsr() & 0x1F));
    return board().Reg(index);
  }

  // Each register written through one name reads the same through the other, also after
  // a mode set (which passes the CPSR through the core's r0) and after a run.
  void ExpectOneRegisterEach(const std::vector<SameRegister>& table, const std::string& otherModeSet) {
    for (const SameRegister& row : table) ExpectWrite(row.written, row.value);
    ReadMode(otherModeSet);
    for (const SameRegister& row : table) {
      EXPECT_EQ(ReadNames({row.written, row.other}), (std::vector<uint32_t>{row.value, row.value})) << row.written;
    }
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    RunBoard(10);
    for (const SameRegister& row : table) EXPECT_EQ(OnBoard(row.index), row.value) << row.written << " while running";
    ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
    for (const SameRegister& row : table) {
      EXPECT_EQ(ReadNames({row.other, row.written}), (std::vector<uint32_t>{row.value, row.value})) << row.written;
    }
  }
};

TEST_F(SameRegisterTest, BothNamesOfARegisterAgreeAndAWriteSurvivesTheRun) {
  LoadWords(0, {kBranchToSelf});
  OpenAndConnect();
  ASSERT_EQ(board().Cpsr() & 0x1F, 0x13u);
  ExpectOneRegisterEach({{"r3_usr", "r3", 3, 0x5003},
                         {"r4", "r4_usr", 4, 0x5004},
                         {"r0", "r0_usr", 0, 0x5000},
                         {"r9_usr", "r9", 9, 0x5009},
                         {"r12", "r12_usr", 12, 0x500C},
                         {"r13_svc", "sp", 13, 0x500D},
                         {"lr", "r14_svc", 14, 0x500E},
                         {"spsr_svc", "spsr", 17, Psr(0x5000)},
                         {"cpsr_usr", "cpsr", 16, 0x200000D3}},
                        "irq");
  EXPECT_EQ(ReadNames({"pc_usr", "pc"}), (std::vector<uint32_t>{0, 0})) << "both the saved PC";

  // Into FIQ mode, which banks r8-r14: supervisor's registers stay where they were, also
  // after a memory write has used them on the core, and the plain names are FIQ's.
  board().SetBankedReg(Mode::kFiq, 13, 0xF1D);
  ASSERT_EQ(WriteMemory(0x1000, std::vector<uint8_t>(56, 0xEE)).status, VANTREL_STATUS_OK);
  ExpectWrite("cpsr", 0x000000D1);
  EXPECT_EQ(board().Cpsr(), 0x000000D1u);
  EXPECT_EQ(ReadNames({"r13_svc", "r14_svc", "spsr_svc", "r9_usr", "sp", "r13_fiq"}),
            (std::vector<uint32_t>{0x500D, 0x500E, Psr(0x5000), 0x5009, 0xF1D, 0xF1D}));
  ExpectOneRegisterEach({{"r8_fiq", "r8", 8, 0x6008},
                         {"r12", "r12_fiq", 12, 0x600C},
                         {"r13_fiq", "sp", 13, 0x600D},
                         {"lr", "r14_fiq", 14, 0x600E},
                         {"spsr_fiq", "spsr", 17, Psr(0x6000)},
                         {"r2_usr", "r2", 2, 0x6002}},
                        "svc");
  ExpectWrite("r8_usr", 0x7008);
  EXPECT_EQ(board().BankedReg(Mode::kUser, 8), 0x7008u);
  EXPECT_EQ(ReadNames({"r8", "r8_usr"}), (std::vector<uint32_t>{0x6008, 0x7008})) << "two registers in FIQ mode";

  // System mode shares all of User mode's registers.
  ExpectWrite("cpsr", 0x000000DF);
  ExpectOneRegisterEach({{"sp_usr", "sp", 13, 0x800D}, {"lr", "lr_usr", 14, 0x800E}, {"r8_usr", "r8", 8, 0x8008}},
                        "fiq");
  EXPECT_EQ(ReadNames({"r8_fiq", "r13_svc"}), (std::vector<uint32_t>{0x6008, 0x500D}));
}

TEST_F(RegistersTest, ACoreHaltedInUserModeRefusesTheBankedRegistersOfOtherModes) {
  LoadWords(0, {0xEA000FFE /* B 0x4000 */});
  LoadWords(0x4000, {
                        0xE321F010,  // 0x4000 MSR CPSR_c, #0x10: user mode
                        0xE3A0DB11,  // 0x4004 MOV sp, #0x4400
                        0xE2800001,  // 0x4008 ADD r0, r0, #1
                        0xEAFFFFFD,  // 0x400C B 0x4008
                    });
  OpenAndConnect();
  board().SetBankedReg(Mode::kIrq, 13, 0x1213);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(100);
  ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
  ASSERT_EQ(board().Cpsr() & 0x1F, 0x10u);

  // User mode cannot switch to another mode and back: the user's own registers would be
  // read and written instead.
  EXPECT_EQ(ResponseText(ReadRegistersByNames({"r13_irq"})), "invalid parameters are used");
  EXPECT_EQ(ResponseText(ReadRegistersByMode("irq")), "invalid parameters are used");
  EXPECT_EQ(ResponseText(WriteRegister("r13_irq", 0x9999)), "invalid parameters are used");
  EXPECT_EQ(board().BankedReg(Mode::kUser, 13), 0x4400u);
  EXPECT_EQ(board().BankedReg(Mode::kIrq, 13), 0x1213u);
  EXPECT_EQ(ReadNames({"sp_usr", "sp"}), (std::vector<uint32_t>{0x4400, 0x4400}));
  EXPECT_EQ(board().Cpsr() & 0x1F, 0x10u);

  const uint32_t count = board().Reg(0);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(10);
  EXPECT_GT(board().Reg(0), count);
}

TEST_F(RegistersTest, ACoreStoppedInThumbStateIsDebuggedInArmStateAndResumesInThumbState) {
  LoadWords(0, {0xEA000BFE /* B 0x3000 */});
  LoadWords(0x3000, {
                        0xE28F0001,  // 0x3000 ADD r0, pc, #1: the Thumb code at 0x3008
                        0xE12FFF10,  // 0x3004 BX r0
                        0xE7FD3101,  // 0x3008 ADDS r1, #1; 0x300A B 0x3008
                    });
  OpenAndConnect();
  // The reset let the program reach its Thumb loop before the connect halted it; the
  // program still starts at address 0 in ARM state.
  EXPECT_EQ(TraceCount("Now The Target is in Thumb Status, THUM -> ARM\n"), 1);
  EXPECT_EQ(StatusWord(), 0x00030001);
  EXPECT_EQ(ReadNames({"pc", "cpsr"}).at(1) & 0x20, 0u);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  // Several stops, so that both halfwords of the loop are met.
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    RunBoard(37 + static_cast<uint64_t>(round));
    ASSERT_TRUE(board().Cpsr() & 0x20) << std::hex << board().Reg(15) << " " << board().Cpsr() << " "
                                       << board().InDebugState();
    const JtagResponse stop = Stop();
    ASSERT_EQ(stop.status, VANTREL_STATUS_OK);
    const uint32_t haltAddress = board().HaltAddress();
    EXPECT_TRUE(haltAddress == 0x3008 || haltAddress == 0x300A) << std::hex << haltAddress;
    EXPECT_EQ(ResponseWords(stop).at(0), haltAddress);
    EXPECT_EQ(board().Cpsr() & 0x20, 0u) << "halted in ARM state";
    EXPECT_EQ(StatusWord(), 0x00040011);

    const std::vector<uint32_t> cur = ReadMode("cur");
    ASSERT_EQ(cur.size(), 18u);
    EXPECT_EQ(cur[0], 0x3009u) << "r0 survived the switch to ARM state";
    EXPECT_EQ(cur[1], board().Reg(1));
    EXPECT_EQ(cur[15], haltAddress);
    EXPECT_EQ(cur[16], board().Cpsr() | 0x20) << "the CPSR tells the Thumb state";

    const uint32_t count = board().Reg(1);
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    RunBoard(10);
    EXPECT_TRUE(board().Cpsr() & 0x20) << "running Thumb code again";
    EXPECT_GT(board().Reg(1), count);
    EXPECT_TRUE(board().Reg(15) == 0x3008 || board().Reg(15) == 0x300A);
    EXPECT_EQ(board().Reg(0), 0x3009u);
  }
}

// A CPSR whose T bit the host changed while the core was halted is the state the core
// resumes in: from an ARM halt into Thumb code, then from that Thumb halt into ARM code.
TEST_F(RegistersTest, TheTBitWrittenIsTheStateTheCoreResumesIn) {
  LoadWords(0, {kBranchToSelf});
  LoadWords(0x1000, {0xE3A050AB /* MOV r5, #0xAB */, 0xE3A06C02 /* MOV r6, #0x200 */, 0xE5865000 /* STR r5, [r6] */,
                     kBranchToSelf});
  // MOVS r5, #0xCD; MOVS r6, #0x80; LSLS r6, r6, #2; STR r5, [r6]; B .; NOP
  LoadWords(0x2000, {0x268025CD, 0x603500B6, 0x46C0E7FE});
  // Before each entry, code that counts in r7: a core that resumed early would run it.
  LoadWords(0xFFC, {0xE2877001 /* ADD r7, r7, #1 */});
  LoadWords(0x1FFC, {0x37013701 /* ADDS r7, #1; ADDS r7, #1 */});
  OpenAndConnect();
  struct Step {
    const char* what;
    bool thumb;
    uint32_t entry;
    uint32_t mark;  // what the code stores at 0x200
    uint32_t loop;  // its branch to itself
  };
  for (const Step& step :
       {Step{"ARM to Thumb", true, 0x2000, 0xCD, 0x2008}, Step{"Thumb to ARM", false, 0x1000, 0xAB, 0x100C}}) {
    SCOPED_TRACE(step.what);
    LoadWords(0x200, {0});
    const uint32_t cpsr = ReadNames({"cpsr"}).at(0);
    ExpectWrite("cpsr", step.thumb ? cpsr | 0x20 : cpsr & ~0x20u);
    ExpectWrite("pc", step.entry);
    ExpectWrite("r7", 0);
    EXPECT_EQ(ReadNames({"cpsr"}).at(0) & 0x20, step.thumb ? 0x20u : 0u) << "reads back as written";
    EXPECT_EQ(board().Cpsr() & 0x20, 0u) << "the halted core stays in ARM state";
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    RunBoard(50);
    EXPECT_EQ(board().Cpsr() & 0x20, step.thumb ? 0x20u : 0u);
    EXPECT_EQ(BoardBytes(0x200, 4), (std::vector<uint8_t>{static_cast<uint8_t>(step.mark), 0, 0, 0}));
    EXPECT_EQ(board().Reg(7), 0u) << "the core began at the entry";
    const JtagResponse stop = Stop();
    ASSERT_EQ(stop.status, VANTREL_STATUS_OK);
    EXPECT_EQ(ResponseWords(stop).at(0), step.loop);
    EXPECT_EQ((StatusWord() & 0x10) != 0, step.thumb);
  }
}

}  // namespace
}  // namespace vantrel::e2e
