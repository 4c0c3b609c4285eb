// The core's pipeline at system speed, the reset line and debug entry.
#include "board/core.h"
#include "board/core_buses.h"

namespace vsim {

namespace {

constexpr uint32_t kCpsrFiqDisable = 0x40;  // F
constexpr uint32_t kCpsrIrqDisable = 0x80;  // I

}  // namespace

Core::Core(Memory& memory, EmbeddedIce& ice, bool neverHalts, const TimerConfig& timer)
    : memory_(memory), ice_(ice), neverHalts_(neverHalts) {
  timer_.Configure(timer);
  cpu_.Reset();
  Flush(0);
}

void Core::Flush(uint32_t target) {
  count_ = 0;
  fetch_ = target;
  lastFetchTagged_ = false;
  lastFetchLoadStore_ = false;
  cpu_.SetNextPc(target);
}

void Core::Push(const Fetched& f) {
  // A fetch with three instructions in hand cannot happen: Execute takes one first.
  if (count_ < 3) pipe_[count_++] = f;
}

Core::Fetched Core::PopFront() {
  Fetched front = pipe_[0];
  for (int i = 1; i < count_; ++i) pipe_[i - 1] = pipe_[i];
  --count_;
  return front;
}

void Core::HoldReset() {
  inReset_ = true;
  inDebug_ = false;
  pendingLoads_ = pendingStores_ = 0;
  pendingInternal_ = false;
}

void Core::ReleaseReset() {
  inReset_ = false;
  inDebug_ = false;
  parked_ = false;
  pendingLoads_ = pendingStores_ = 0;
  pendingInternal_ = false;
  cpu_.Reset();
  Flush(0);
}

void Core::EnterDebug(DebugReason reason, uint32_t haltAddress, uint32_t fetchCounter) {
  inDebug_ = true;
  parked_ = false;
  reason_ = reason;
  entryBit_ = reason == DebugReason::kWatchpoint || reason == DebugReason::kSystemSpeedReturn;
  haltAddress_ = haltAddress;
  pendingLoads_ = pendingStores_ = 0;
  pendingInternal_ = false;
  ice_.ClearChainLatch();
  Flush(fetchCounter);
}

CoreSignals Core::Signals() const {
  CoreSignals s;
  s.inDebug = inDebug_;
  s.memoryIdle = inDebug_ || inReset_;
  s.thumb = cpu_.Thumb();
  return s;
}

uint32_t Core::Pc() const {
  if (inDebug_) return haltAddress_;
  return count_ > 0 ? pipe_[0].address : fetch_;
}

void Core::SetPc(uint32_t pc) {
  parked_ = false;
  if (inDebug_) {
    // As if a breakpoint on pc had been taken: the driver reads pc back.
    haltAddress_ = pc;
    pendingLoads_ = pendingStores_ = 0;
    pendingInternal_ = false;
    Flush(pc + 3 * InstructionSize());
  } else {
    Flush(pc);
  }
}

uint64_t Core::Run(uint64_t max, bool honourParking) {
  if (!honourParking) parked_ = false;
  pollWatch_.Forget();
  repeating_ = {};
  uint64_t done = 0;
  while (done < max && !inReset_ && !inDebug_ && !(honourParking && parked_)) {
    uint64_t before = counters_.instructions;
    bool goOn = Step();
    done += counters_.instructions - before;
    if (!goOn) break;
    if (repeating_.instructions != 0) done += SkipRepeats(max - done);
  }
  return done;
}

uint64_t Core::SkipRepeats(uint64_t budget) {
  const Iteration iteration = repeating_;
  repeating_ = {};
  const uint64_t repeats = budget / iteration.instructions;
  const uint64_t skipped = repeats * iteration.instructions;
  counters_.instructions += skipped;
  counters_.fastForwarded += skipped;
  memory_.Tick(repeats * iteration.busTicks);
  return skipped;
}

void Core::FetchFromMemory() {
  Fetched f;
  f.address = fetch_;
  int size = static_cast<int>(InstructionSize());
  uint32_t word = 0;
  f.aborted = !memory_.Read(fetch_, size, word);
  f.word = word;
  if (ice_.AnyUnitEnabled()) {
    BusCycle cycle;
    cycle.address = fetch_;
    cycle.data = Replicate(word, size);
    cycle.laneMask = LaneMask(fetch_, size, memory_.ByteOrder());
    bool privileged = cpu_.CurrentMode() != Mode::kUser;
    cycle.control = ((size == 4 ? 2u : 1u) << kWpMasShift) | (privileged ? kWpNtrans : 0u);
    f.tagged = ice_.Matches(cycle);
    if (f.tagged) pollWatch_.NoteDisturbance();  // a match may also change the units' state
  }
  Push(f);
  fetch_ += static_cast<uint32_t>(size);
}

bool Core::Step() {
  if (ice_.DebugRequestToCore() && !neverHalts_) {
    // Stops at the instruction boundary without a further fetch.
    uint32_t next = count_ > 0 ? pipe_[0].address : fetch_;
    EnterDebug(DebugReason::kDebugRequest, next, next + 2 * InstructionSize());
    return false;
  }
  if (TakeInterrupt()) return true;
  while (count_ < 2) FetchFromMemory();
  FetchFromMemory();  // the cycle that starts an instruction also fetches
  Fetched current = PopFront();
  if (current.tagged && !neverHalts_) {
    // Not executed; F keeps its count, so the first debug fetch is at A + 3s.
    EnterDebug(DebugReason::kBreakpoint, current.address, fetch_);
    return false;
  }
  ExecuteAtSystemSpeed(current);
  timer_.Tick();
  if (dataWatchHit_ && !neverHalts_) {
    uint32_t next = count_ > 0 ? pipe_[0].address : fetch_;
    EnterDebug(DebugReason::kWatchpoint, next, next + 3 * InstructionSize());
    return false;
  }
  return true;
}

bool Core::ExecuteAtSystemSpeed(const Fetched& f) {
  dataWatchHit_ = false;
  ++counters_.instructions;
  if (f.aborted) {
    pollWatch_.NoteDisturbance();
    cpu_.TakeException(ArmCpu::Exception::kPrefetchAbort, f.address + 4);
    Flush(cpu_.NextPc());
    return true;
  }
  SystemBus bus(*this);
  ExecResult r = cpu_.Execute(f.word, f.address, bus);
  if (!r.pcWritten && !r.exception) return false;
  WatchBranch(f, r);
  CheckParking(f, r);
  Flush(cpu_.NextPc());
  return true;
}

// Only a loop that runs from plain memory, with no timer counting its instructions,
// can repeat unchanged: a fetch from a flash chip may change the chip's state.
void Core::WatchBranch(const Fetched& f, const ExecResult& r) {
  const uint32_t target = cpu_.NextPc();
  if (!skipPollLoops_ || r.exception || target > f.address || timer_.Enabled()) {
    pollWatch_.NoteDisturbance();
    return;
  }
  repeating_ = pollWatch_.BranchedBack(target, cpu_, counters_.instructions, memory_.Ticks());
  const uint32_t lastFetched = f.address + 2 * InstructionSize();
  if (repeating_.instructions != 0 && (memory_.FlashAt(target) != nullptr || memory_.FlashAt(lastFetched) != nullptr))
    repeating_ = {};
}

void Core::CheckParking(const Fetched& f, const ExecResult& r) {
  // A branch to itself with nothing that could stop it: nothing changes until JTAG,
  // the reset line or the host does something.
  if (r.exception || cpu_.NextPc() != f.address) return;
  if (ice_.AnyUnitEnabled() || ice_.DebugRequestToCore() || timer_.Enabled()) return;
  parked_ = true;
}

bool Core::TakeInterrupt() {
  if (!timer_.Pending() || ice_.InterruptsDisabled()) return false;
  const bool fiq = timer_.Line() == InterruptLine::kFiq;
  if ((cpu_.Cpsr() & (fiq ? kCpsrFiqDisable : kCpsrIrqDisable)) != 0) return false;
  // The return address a handler's SUBS pc, lr, #4 expects: the next instruction + 4.
  const uint32_t next = count_ > 0 ? pipe_[0].address : fetch_;
  pollWatch_.NoteDisturbance();
  cpu_.TakeException(fiq ? ArmCpu::Exception::kFiq : ArmCpu::Exception::kIrq, next + 4);
  Flush(cpu_.NextPc());
  return true;
}

}  // namespace vsim
