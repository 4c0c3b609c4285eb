// The simulated ARM7TDMI board behind a parallel-port JTAG cable: port, TAP,
// EmbeddedICE, core and memory, with the faults a test can switch on.
//
// Use: build a Board from a BoardConfig and hand PortIo() to the code under test (or
// drive PortWrite/PortRead, or the lines through the remote_bitbang server). Assert on
// the board itself through the accessors below.
//
// Threads: the board takes no locks. One thread at a time may drive the port (the
// library serialises its port traffic); another thread may read or set state only
// while no port access is under way, with the hand-over ordered by the caller (a
// finished library call or job is such an order).
//
// Time: a running core advances by instructionsPerTck for each rising TCK edge,
// executed at the latest when something could observe it (an EmbeddedICE access,
// DBGRQ, RESTART, the reset line); through PortIo() it also runs for the host time that
// passes between port accesses. RunInstructions moves it from a test. The repeats of a
// loop that only polls the comms channel's control word are counted, not interpreted
// (SetPollLoopSkipping): they would leave everything as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "board/board_config.h"
#include "board/core.h"
#include "board/embedded_ice.h"
#include "board/jtag_tap.h"
#include "board/memory.h"
#include "vantrel_port.h"

namespace vsim {

// Parallel-port data bits and status bits as the cable wires them.
inline constexpr uint8_t kDataReset = 0x01;  // D0: the target's reset, low holds it
inline constexpr uint8_t kDataTms = 0x02;
inline constexpr uint8_t kDataTck = 0x04;
inline constexpr uint8_t kDataTdi = 0x08;
inline constexpr uint8_t kStatusTdoInverted = 0x80;
inline constexpr uint8_t kStatusPowerSense1 = 0x40;
inline constexpr uint8_t kStatusPowerSense2 = 0x20;
inline constexpr uint8_t kFloatingBus = 0xFF;

struct BoardCounters {
  uint64_t portAccesses = 0;
  uint64_t tckCycles = 0;  // rising edges
  uint64_t debugClocks = 0;
  uint64_t restarts = 0;
  uint64_t systemSpeedAccesses = 0;
  uint64_t instructions = 0;  // executed at system speed
  // Of those, the repeats of a loop polling the comms channel, counted rather than
  // interpreted: each left the core as it found it.
  uint64_t instructionsFastForwarded = 0;
  // The flash chips' program and erase time in the board's ticks, and the port accesses
  // the host made while a chip was busy.
  uint64_t flashBusyTicks = 0;
  uint64_t flashBusyAccesses = 0;
};

class Board final : private TapHooks {
 public:
  // The configuration must pass ValidateConfig (checked by the caller; an invalid one
  // is replaced by the defaults rather than built half-way).
  explicit Board(BoardConfig config = {});
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  const BoardConfig& Config() const { return config_; }
  // The core's speed from here on (4 to 1000 instructions a TCK; others are ignored).
  void SetInstructionsPerTck(int instructions) {
    if (instructions >= 4 && instructions <= 1000) config_.instructionsPerTck = instructions;
  }

  // ---- The cable -------------------------------------------------------------------
  // Callbacks bound to this board; acquire returns 0. Valid while the board lives.
  VantrelPortIo PortIo();
  uint8_t PortRead(uint16_t port);
  void PortWrite(uint16_t port, uint8_t value);
  // TRST (remote_bitbang only; the parallel cable has no such line).
  void SetTrst(bool asserted);
  bool Tdo() const;
  TapState CurrentTapState() const { return tap_.State(); }
  uint8_t Instruction() const { return tap_.Instruction(); }
  int SelectedChain() const { return tap_.SelectedChain(); }

  // ---- The lines without a port (a cable other than the parallel one) ------------
  // One TCK cycle: returns TDO as it stands with TCK low, then makes the rising edge.
  bool ClockTap(bool tms, bool tdi);
  // The target's reset line held low (true) or released.
  void SetResetHeld(bool held);
  // What the cable finds: the board behind it, and its power-sense lines.
  bool CablePresent() const { return !config_.faults.noCable; }
  bool PowerGood() const { return !config_.faults.powerBad; }

  // ---- Reset line and running ------------------------------------------------------
  bool InReset() const { return core_.InReset(); }
  // Runs up to count instructions at system speed (also a parked core); stops at debug
  // entry. Returns the number executed.
  uint64_t RunInstructions(uint64_t count);
  // A wait of the host told rather than measured (a host on a virtual clock): the running
  // core is owed what a quiet spell of that length would give it.
  void PassQuietTime(unsigned milliseconds);
  // Free running between client requests: honours parking. Returns the number executed.
  uint64_t FreeRun(uint64_t count);
  // Reset, debug state or parked: free running would change nothing.
  bool CoreIdle() const { return !core_.Runnable(); }
  // Repeats of a loop that only polls the comms channel are counted instead of
  // interpreted (on by default); the board's state and counters come out the same.
  void SetPollLoopSkipping(bool skipping) { core_.SetPollLoopSkipping(skipping); }

  // ---- Debug state -----------------------------------------------------------------
  bool InDebugState() const { return core_.InDebug(); }
  // The coreNeverHalts fault switched on or off while the board runs (between port
  // accesses): halt requests, breakpoints, watchpoints and the return from a
  // system-speed access no longer bring the core into debug state; after such an access
  // the core runs on from the instruction after it.
  void SetCoreNeverHalts(bool neverHalts) { core_.SetNeverHalts(neverHalts); }
  DebugReason EntryReason() const { return core_.Reason(); }
  uint32_t HaltAddress() const { return core_.HaltAddress(); }

  // ---- Registers -------------------------------------------------------------------
  // r0-r14 of the current mode; r15 is where the core resumes: the next instruction
  // while running, the first instruction not executed while in debug state. Setting
  // r15 in debug state acts as a breakpoint taken on that address.
  uint32_t Reg(int index) const;
  void SetReg(int index, uint32_t value);
  uint32_t BankedReg(Mode mode, int index) const { return core_.Cpu().BankedReg(mode, index); }
  void SetBankedReg(Mode mode, int index, uint32_t value) { core_.Cpu().SetBankedReg(mode, index, value); }
  uint32_t Cpsr() const { return core_.Cpu().Cpsr(); }
  void SetCpsr(uint32_t value) { core_.Cpu().SetCpsr(value); }
  uint32_t Spsr(Mode mode) const { return core_.Cpu().Spsr(mode); }
  void SetSpsr(Mode mode, uint32_t value) { core_.Cpu().SetSpsr(mode, value); }

  // ---- Memory ----------------------------------------------------------------------
  // Bytes in target order; ROM is writable here. false: some byte is unmapped.
  bool ReadMemory(uint32_t address, std::span<uint8_t> out) const;
  bool WriteMemory(uint32_t address, std::span<const uint8_t> in);
  // A word as the core loads it (target byte order applied).
  uint32_t ReadWord(uint32_t address) const;
  void WriteWord(uint32_t address, uint32_t value);

  // ---- EmbeddedICE -----------------------------------------------------------------
  uint32_t IceRegister(int address) const;  // without read side effects
  void SetIceRegister(int address, uint32_t value);

  // ---- Counters --------------------------------------------------------------------
  BoardCounters Counters() const;
  void ResetCounters();
  // The board's clock, which a flash chip's busy time runs on: a tick for every core
  // memory access and every TCK edge since power-up.
  uint64_t MemoryTicks() const { return memory_.Ticks(); }

 private:
  // TapHooks
  uint64_t CaptureChain1() override;
  void UpdateChain1(uint64_t cells) override;
  uint32_t CaptureChain2Data() override;
  void UpdateChain2(uint64_t cells) override;
  void IdleEdge(bool chain1Intest) override;
  void RestartEntered() override;

  void CountAccess();
  void WriteData(uint8_t value);
  uint8_t ReadStatus() const;
  void RisingEdge(bool tms, bool tdi);
  void CatchUp();
  void AccrueQuietTime();
  void OweQuietTime(uint64_t microseconds);

  static int AcquireCallback(void* context);
  static unsigned char ReadCallback(void* context, unsigned short port);
  static void WriteCallback(void* context, unsigned short port, unsigned char value);

  BoardConfig config_;
  Memory memory_;
  EmbeddedIce ice_;
  Core core_;
  JtagTap tap_;

  uint8_t data_ = kDataReset;
  uint8_t control_ = 0;
  uint32_t chain1Word_ = 0;
  bool chain1Breakpt_ = false;
  uint32_t readLatch_ = 0;
  uint64_t owed_ = 0;  // instructions TCK edges gave a running core, not yet executed

  uint64_t portAccesses_ = 0;
  uint64_t flashBusyAccesses_ = 0;
  uint64_t flashBusyTicksBefore_ = 0;  // at the last counter reset
  uint64_t tckCycles_ = 0;
  uint64_t accessesSinceClock_ = 0;
  int64_t lastClockNs_ = 0;
};

}  // namespace vsim
