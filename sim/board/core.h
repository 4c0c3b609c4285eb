// The ARM7TDMI core around the instruction interpreter: its three-stage pipeline with
// the fetch counter F, system-speed running with watchpoint tags, the reset line, and
// debug state, in which every core cycle is one debug clock fed from scan chain 1.
//
// A fetched instruction carries a tag: at system speed, a watchpoint matched its fetch
// (a breakpoint when it reaches Execute); at debug speed, the BREAKPT bit it arrived
// with (which marks the instructions that a RESTART runs at system speed).
#pragma once

#include <cstdint>

#include "board/embedded_ice.h"
#include "board/interrupt_timer.h"
#include "board/memory.h"
#include "board/poll_loop_watch.h"
#include "cpu/arm_cpu.h"

namespace vsim {

enum class DebugReason : uint8_t {
  kNone,               // never entered
  kBreakpoint,         // a tagged instruction reached Execute
  kWatchpoint,         // a data access matched
  kDebugRequest,       // DBGRQ
  kSystemSpeedReturn,  // back from a system-speed access after RESTART
};

struct CoreCounters {
  uint64_t debugClocks = 0;
  uint64_t restarts = 0;
  uint64_t systemSpeedAccesses = 0;
  uint64_t instructions = 0;  // executed at system speed
  // Of those, the repeats of a loop polling the comms channel that were counted rather
  // than interpreted.
  uint64_t fastForwarded = 0;
};

class Core {
 public:
  Core(Memory& memory, EmbeddedIce& ice, bool neverHalts, const TimerConfig& timer = {});
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  ArmCpu& Cpu() { return cpu_; }
  const ArmCpu& Cpu() const { return cpu_; }

  // ---- Reset line ------------------------------------------------------------------
  void HoldReset();
  void ReleaseReset();  // starts at 0: supervisor, ARM, IRQ and FIQ disabled
  bool InReset() const { return inReset_; }

  // ---- System speed ----------------------------------------------------------------
  // Executes up to max instructions; stops early at debug entry or when the core cannot
  // run (reset, debug state, or parked when honourParking). Returns the number executed.
  uint64_t Run(uint64_t max, bool honourParking);
  // Repeats of a loop that polls the comms channel are counted, not interpreted (on by
  // default); the state they leave is the same either way.
  void SetPollLoopSkipping(bool skipping) { skipPollLoops_ = skipping; }
  // A running core that is neither parked nor stopped.
  bool Runnable() const { return !inReset_ && !inDebug_ && !parked_; }
  // Something the core can observe changed: a parked core looks again.
  void Unpark() { parked_ = false; }
  bool Parked() const { return parked_; }

  // ---- Debug state -----------------------------------------------------------------
  bool InDebug() const { return inDebug_; }
  DebugReason Reason() const { return reason_; }
  // The first instruction not executed at the last entry.
  uint32_t HaltAddress() const { return haltAddress_; }
  // One debug clock with the word and BREAKPT bit that chain 1 presents.
  void DebugClock(uint32_t word, bool breakpt);
  // What chain 1's Capture-DR loads.
  uint32_t BusValue() const;
  bool EntryBit() const { return inDebug_ && entryBit_; }
  // IR = RESTART entered Run-Test/Idle.
  void Restart();
  // Breakpoints, watchpoints, DBGRQ and the return from a system-speed access no longer
  // bring the core into debug state (a core that lost its debug logic).
  void SetNeverHalts(bool neverHalts) { neverHalts_ = neverHalts; }

  // ---- State -----------------------------------------------------------------------
  CoreSignals Signals() const;
  // The next instruction to execute (running), or the halt address (debug state).
  uint32_t Pc() const;
  void SetPc(uint32_t pc);
  uint32_t FetchCounter() const { return fetch_; }
  const CoreCounters& Counters() const { return counters_; }
  void ResetCounters() { counters_ = {}; }

 private:
  friend class SystemBus;
  friend class DebugBus;

  struct Fetched {
    uint32_t word = 0;
    uint32_t address = 0;
    bool tagged = false;
    bool aborted = false;
    bool loadStore = false;
    bool systemSpeedTarget = false;  // debug speed: the S of a BREAKPT sequence
  };

  uint32_t InstructionSize() const { return cpu_.Thumb() ? 2u : 4u; }
  void Flush(uint32_t target);
  void Push(const Fetched& f);
  Fetched PopFront();
  void EnterDebug(DebugReason reason, uint32_t haltAddress, uint32_t fetchCounter);

  // core_running.cpp
  bool Step();  // false: the core stopped
  // The timer's line, unless the debugger's INTDIS or the CPSR's I or F bit masks it:
  // the exception is taken at this instruction boundary. True when it was.
  bool TakeInterrupt();
  void FetchFromMemory();
  bool ExecuteAtSystemSpeed(const Fetched& f);  // true: the PC was written
  void CheckParking(const Fetched& f, const ExecResult& r);
  // A taken branch: tells the poll-loop watch where the core went.
  void WatchBranch(const Fetched& f, const ExecResult& r);
  // Counts whole repeats of the loop just seen within budget; returns the instructions.
  uint64_t SkipRepeats(uint64_t budget);

  // core_debug.cpp
  void FetchFromChain(uint32_t word, bool breakpt);
  void StartDebugExecute(const Fetched& f);
  void FinishDeferredLoad();
  void ApplyDebugResult(const ExecResult& r, int stores);
  void SystemSpeedAccess(Fetched* order, int count, int s);
  void ExitDebug();

  Memory& memory_;
  EmbeddedIce& ice_;
  ArmCpu cpu_;
  bool neverHalts_;

  Fetched pipe_[3];
  int count_ = 0;
  uint32_t fetch_ = 0;  // F
  bool inReset_ = false;
  bool inDebug_ = false;
  bool parked_ = false;
  bool dataWatchHit_ = false;
  DebugReason reason_ = DebugReason::kNone;
  bool entryBit_ = false;
  uint32_t haltAddress_ = 0;

  // Debug speed: the instruction whose data or internal cycles are under way.
  Fetched executing_;
  int pendingLoads_ = 0;
  int loadsTaken_ = 0;
  uint32_t loads_[16] = {};
  int pendingStores_ = 0;
  int storeIndex_ = 0;
  uint32_t stores_[16] = {};
  bool pendingInternal_ = false;
  bool lastFetchTagged_ = false;
  bool lastFetchLoadStore_ = false;
  uint32_t lastDriven_ = 0;

  CoreCounters counters_;
  InterruptTimer timer_;
  PollLoopWatch pollWatch_;
  Iteration repeating_;  // the loop's iteration that repeats, found by the last step
  bool skipPollLoops_ = true;
};

}  // namespace vsim
