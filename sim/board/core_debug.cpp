// The core in debug state: one core cycle per debug clock, fed from scan chain 1, and
// the RESTART that either runs a system-speed access or leaves debug state.
#include "board/core.h"
#include "board/core_buses.h"

namespace vsim {

namespace {

// Thumb instructions arrive in a 32-bit word; F bit 1 chooses the half.
uint32_t InstructionFromBus(uint32_t word, uint32_t address, bool thumb, Endianness order) {
  if (!thumb) return word;
  return ExtractLane(word, address, 2, order);
}

}  // namespace

uint32_t Core::BusValue() const {
  // In a store cycle the bus carries the stored word, otherwise the last word driven.
  return pendingStores_ > 0 ? stores_[storeIndex_] : lastDriven_;
}

void Core::DebugClock(uint32_t word, bool breakpt) {
  if (!inDebug_) return;
  ++counters_.debugClocks;
  entryBit_ = false;
  if (pendingLoads_ > 0) {
    loads_[loadsTaken_++] = word;
    if (--pendingLoads_ == 0) FinishDeferredLoad();
    return;
  }
  if (pendingStores_ > 0) {
    lastDriven_ = stores_[storeIndex_++];
    --pendingStores_;
    return;
  }
  if (pendingInternal_) {
    pendingInternal_ = false;
    return;
  }
  bool startsExecute = count_ >= 2;
  // The S of a BREAKPT sequence waits for RESTART rather than executing at debug speed.
  if (startsExecute && pipe_[0].systemSpeedTarget) return;
  FetchFromChain(word, breakpt);
  if (startsExecute) StartDebugExecute(PopFront());
}

void Core::FetchFromChain(uint32_t word, bool breakpt) {
  bool thumb = cpu_.Thumb();
  Fetched f;
  f.address = fetch_;
  f.word = InstructionFromBus(word, fetch_, thumb, memory_.ByteOrder());
  f.tagged = breakpt;
  f.loadStore = ArmCpu::Shape(f.word, thumb).isLoadStore;
  f.systemSpeedTarget = f.loadStore && (breakpt || (lastFetchTagged_ && !lastFetchLoadStore_));
  lastFetchTagged_ = breakpt;
  lastFetchLoadStore_ = f.loadStore;
  Push(f);
  fetch_ += InstructionSize();
}

void Core::StartDebugExecute(const Fetched& f) {
  // A word whose condition fails makes no data cycles.
  CycleShape shape = cpu_.CurrentShape(f.word);
  executing_ = f;
  if (shape.loads > 0) {
    // Executed when its data words have arrived; nothing can observe the delay.
    pendingLoads_ = shape.loads > 16 ? 16 : shape.loads;
    loadsTaken_ = 0;
    pendingInternal_ = shape.internal;
    return;
  }
  DebugBus bus(*this, nullptr, 0);
  ExecResult r = cpu_.Execute(f.word, f.address, bus);
  pendingInternal_ = shape.internal;
  ApplyDebugResult(r, bus.Stores());
}

void Core::FinishDeferredLoad() {
  DebugBus bus(*this, loads_, loadsTaken_);
  ExecResult r = cpu_.Execute(executing_.word, executing_.address, bus);
  ApplyDebugResult(r, bus.Stores());
}

void Core::ApplyDebugResult(const ExecResult& r, int stores) {
  pendingStores_ = stores;
  storeIndex_ = 0;
  // A PC write flushes the pipeline: its next two cycles are pure fetches at T and T+s.
  if (r.pcWritten || r.exception) Flush(cpu_.NextPc());
}

void Core::Restart() {
  ++counters_.restarts;
  if (!inDebug_) return;
  // The instructions not yet completed, in fetch order.
  Fetched order[4];
  int count = 0;
  if (pendingLoads_ > 0) order[count++] = executing_;
  for (int i = 0; i < count_; ++i) order[count++] = pipe_[i];
  int m = -1;
  for (int i = 0; i < count; ++i) {
    if (order[i].tagged) m = i;
  }
  int s = -1;
  if (m >= 0) s = order[m].loadStore ? m : (m + 1 < count ? m + 1 : -1);
  if (s >= 0 && order[s].loadStore) {
    SystemSpeedAccess(order, count, s);
  } else {
    ExitDebug();
  }
}

void Core::SystemSpeedAccess(Fetched* order, int count, int s) {
  (void)count;
  uint32_t size = InstructionSize();
  uint32_t sAddress = order[s].address;
  inDebug_ = false;
  pendingLoads_ = pendingStores_ = 0;
  pendingInternal_ = false;
  bool flushed = false;
  for (int i = 0; i <= s && !flushed; ++i) {
    // A branch before S would flush S away; the core then stops where it went.
    flushed = ExecuteAtSystemSpeed(order[i]);
  }
  ++counters_.systemSpeedAccesses;
  if (neverHalts_) {
    // No way back into debug state: the core runs on after S (or where S sent it).
    if (!flushed) Flush(sAddress + size);
    return;
  }
  // Back at the instruction boundary after S, without a further fetch.
  EnterDebug(DebugReason::kSystemSpeedReturn, sAddress + size, sAddress + 3 * size);
}

void Core::ExitDebug() {
  inDebug_ = false;
  parked_ = false;
  bool loadUnderWay = pendingLoads_ > 0;
  pendingLoads_ = pendingStores_ = 0;
  pendingInternal_ = false;
  if (loadUnderWay) ExecuteAtSystemSpeed(executing_);
  // The words still in the pipeline run on at system speed; their BREAKPT bits only
  // chose the exit and are no breakpoints.
  for (int i = 0; i < count_; ++i) {
    pipe_[i].tagged = false;
    pipe_[i].systemSpeedTarget = false;
  }
}

}  // namespace vsim
