#include "arm7/fast_memory_access.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <optional>

#include "arm7/arm7_state.h"
#include "arm7/comms_loop.h"
#include "arm7/injection.h"
#include "arm7/link_check.h"
#include "arm7/memory_access.h"
#include "arm7/memory_words.h"
#include "arm7/progress.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr int64_t kExactBlockWords = kGetDataBlockWords;

// The words the STMIA stores, one per scan once its first two cycles have passed. Two
// NOPs follow when another block's load comes next; any other sequence may follow the
// last store at once, as a register read follows its capture.
enum class NextBlock { kNone, kFollows };

void CaptureBlock(Arm7State& core, uint8_t* destination, int words, NextBlock next) {
  InjectNops(core, 2);
  for (int j = 0; j < words; ++j) {
    const uint32_t word = Chain1Access(core, kNop);
    StoreLittleEndian(destination + kMemoryWordBytes * static_cast<std::size_t>(j), FromMemoryOrder(core, word));
  }
  if (next == NextBlock::kFollows) InjectNops(core, 2);
}

// r0 = address: LDMIA r0, {r0} takes it in its fourth access; the fifth is its internal
// cycle.
void LoadR0(Arm7State& core, uint32_t address) {
  Inject(core, kLdmiaR0R0);
  InjectNops(core, 2);
  Inject(core, address);
  Inject(core, kNop);
}

// RESTART, then INTEST straight away: the chain select register still holds chain 1,
// since nothing selected another. The first chain-1 scan after the core's return
// captures BREAKPT set, and true is returned. Otherwise the core is polled (a core not
// back by then is a lost link), chain 1 selected again, and false returned: firstWord
// may not have reached the core.
bool BackInDebugStateWith(Arm7State& core, uint32_t firstWord) {
  ScanInstruction(core, kIrRestart, cable::ScanEnd::kIdle);
  ScanInstruction(core, kIrIntest, cable::ScanEnd::kUpdate);
  if (Chain1SendReadingBreakpt(core, firstWord)) return true;
  (void)WaitUntilHaltedAgain(core);
  SelectDataBusChain(core);
  return false;
}

// LDMIA r0!, {r1-rN} at system speed, then STMIA r0, {r1-rN} drives the N words onto
// the data bus, one per scan. When the core's return is in doubt, the STMIA may be lost:
// the block is read once more from its start, and a second doubt counts as a core that
// does not come back.
void ReadBlock(Arm7State& core, uint32_t blockAddress, uint8_t* destination, int words, NextBlock next) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Inject(core, LdmiaR0WbLowRegisters(words), Speed::kSystem);
    InjectNops(core, 2);
    if (BackInDebugStateWith(core, StmiaR0LowRegisters(words))) {
      CaptureBlock(core, destination, words, next);
      return;
    }
    if (LinkLost(core)) return;
    LoadR0(core, blockAddress);
  }
  NoteHaltMissed(core);
}

// Blocks end at every multiple of 256 words, where the exact sequences report.
int NextBlockWords(int64_t done, int64_t count) {
  const int64_t toReport = kGetDataProgressWords - done % kGetDataProgressWords;
  return static_cast<int>(std::min<int64_t>({kFastBlockWords, toReport, count - done}));
}

// The progress the exact sequences would show: their eight-word blocks overshoot the end.
int32_t AsExactProgress(int64_t done) {
  const int64_t rounded = (done + kExactBlockWords - 1) / kExactBlockWords * kExactBlockWords;
  return static_cast<int32_t>(std::min<int64_t>(rounded, std::numeric_limits<int32_t>::max()));
}

ResultCode StopReason(Arm7State& core) { return PowerReadingBad(core) ? kLinkLost : kTransferStopped; }

// After the block that brought the words up to done: nothing to go on, else what the
// read returns.
std::optional<ResultCode> AfterBlock(Arm7State& core, int64_t done, int count) {
  if (LinkLost(core)) return kLinkLost;
  const bool reportPoint = done % kGetDataProgressWords == 0 || done == count;
  if (reportPoint && AsExactProgress(done) % kGetDataProgressWords == 0 &&
      ReportProgress(core, AsExactProgress(done), count))
    return StopReason(core);
  return std::nullopt;
}

// The words one by one through the comms loop, in the blocks, reports and stops of the
// debug-bus reads. However the read ends, the loop is ended with it.
ResultCode ReadThroughComms(Arm7State& core, uint8_t* destination, int count) {
  int64_t done = 0;
  while (done < count) {
    const int words = NextBlockWords(done, count);
    std::array<uint32_t, kFastBlockWords> received{};
    ArmReceiveCommsWords(core, received.data(), words, done + words < count);
    for (int j = 0; j < words; ++j, ++done) {
      StoreLittleEndian(destination + kMemoryWordBytes * static_cast<std::size_t>(done),
                        FromMemoryOrder(core, received[static_cast<std::size_t>(j)]));
    }
    if (const std::optional<ResultCode> end = AfterBlock(core, done, count)) {
      return ArmEndCommsLoads(core) == kOk ? *end : kLinkLost;
    }
  }
  if (ArmEndCommsLoads(core) != kOk) return kLinkLost;
  ShowProgress(core, AsExactProgress(done), count);
  return kOk;
}

}  // namespace

ResultCode ArmGetDataFast(Arm7State& core, uint32_t address, uint8_t* destination, int count,
                          std::optional<uint32_t> workArea) {
  Trace("------------ArmGetData addr = 0x%08x------------\r\n", address);
  if (count < 0 || (count > 0 && destination == nullptr)) return kInvalidParameters;
  if (count == 0) {
    ShowProgress(core, 0, 0);
    return kOk;
  }
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  if (workArea.has_value()) {
    switch (ArmStartCommsLoads(core, *workArea, address, static_cast<uint32_t>(count))) {
      case CommsLoop::kRunning: return ReadThroughComms(core, destination, count);
      case CommsLoop::kLinkLost: return kLinkLost;
      case CommsLoop::kUnavailable: break;
    }
  }
  SelectDataBusChain(core);
  LoadR0(core, address);
  int64_t done = 0;
  while (done < count) {
    const int words = NextBlockWords(done, count);
    const uint32_t blockAddress = address + static_cast<uint32_t>(done) * kMemoryWordBytes;
    ReadBlock(core, blockAddress, destination + kMemoryWordBytes * static_cast<std::size_t>(done), words,
              done + words < count ? NextBlock::kFollows : NextBlock::kNone);
    done += words;
    if (const std::optional<ResultCode> end = AfterBlock(core, done, count)) return *end;
  }
  ShowProgress(core, AsExactProgress(done), count);
  return kOk;
}

ResultCode ArmReadBlockFast(Arm7State& core, uint32_t address, uint8_t* destination, int count) {
  if (count < 1 || count > kFastBlockWords || destination == nullptr) return kInvalidParameters;
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  SelectDataBusChain(core);
  LoadR0(core, address);
  ReadBlock(core, address, destination, count, NextBlock::kNone);
  return LinkLost(core) ? kLinkLost : kOk;
}

// The data words reach r1 to rN at debug speed through LDMIA; the STMIA after the
// BREAKPT-tagged NOP is the access the core makes at system speed once RESTART is
// scanned.
ResultCode ArmPutDataFast(Arm7State& core, uint32_t address, int stride, int count, const uint8_t* source,
                          WriteStart start) {
  if (stride < 0 || count < 0 || count > kPutDataMaxWords) return kInvalidParameters;
  if (count == 0) return kOk;
  if (source == nullptr) return kInvalidParameters;
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  if (start == WriteStart::kContinuing) {
    InjectStoreOfWords(core, StmiaR0WbLowRegisters(count), stride, count, source);
  } else {
    SelectDataBusChain(core);
    InjectStoreOfWords(core, StmiaR0WbLowRegisters(count), stride, count, source, address);
  }
  // The NOP only carries the check: losing it to a doubtful return costs nothing.
  (void)BackInDebugStateWith(core, kNop);
  return LinkLost(core) ? kLinkLost : kOk;
}

}  // namespace vantrel::arm7
