#include "arm7/memory_access.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "arm7/injection.h"
#include "arm7/link_check.h"
#include "arm7/memory_words.h"
#include "arm7/progress.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr uint32_t kWordBytes = kMemoryWordBytes;

void RunAtSystemSpeed(Arm7State& core) {
  ScanInstruction(core, kIrRestart, cable::ScanEnd::kIdle);
  (void)WaitUntilHaltedAgain(core);
}

// r0 = the word before the block; LDMIA r0, {r0-r8} then loads that word and the eight
// of the block at system speed; STMIA r0!, {r1-r8} drives the eight onto the data bus.
void ReadBlock(Arm7State& core, uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted) {
  Inject(core, kLdrR0Pc);
  InjectNops(core, 2);
  Inject(core, blockAddress - kWordBytes);
  InjectNops(core, 2);
  Inject(core, kLdmiaR0ToR8, Speed::kSystem);
  InjectNops(core, 2);
  RunAtSystemSpeed(core);
  SelectDataBusChain(core);
  Inject(core, kStmiaR0R1ToR8);
  InjectNops(core, 2);
  for (int j = 0; j < kGetDataBlockWords; ++j) {
    const uint32_t word = Chain1Access(core, kNop);
    if (j < wordsWanted)
      StoreLittleEndian(destination + kWordBytes * static_cast<std::size_t>(j), FromMemoryOrder(core, word));
  }
  InjectNops(core, 2);
}

// A stop because the power reading went bad is no stop the host asked for: the words
// still to come are lost, not merely left out.
ResultCode StopReason(Arm7State& core) { return PowerReadingBad(core) ? kLinkLost : kTransferStopped; }

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// ReadBlock cut to the words wanted: r0 = the block's first word; LDMIA r0, {r1-rN} at
// system speed; STMIA r0, {r1-rN} drives the N words onto the data bus.
void ReadOnlyWordsWanted(Arm7State& core, uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted) {
  const int words = static_cast<int>(std::min<int64_t>(wordsWanted, kGetDataBlockWords));
  Inject(core, kLdrR0Pc);
  InjectNops(core, 2);
  Inject(core, blockAddress);
  InjectNops(core, 2);
  Inject(core, LdmiaR0LowRegisters(words), Speed::kSystem);
  InjectNops(core, 2);
  RunAtSystemSpeed(core);
  SelectDataBusChain(core);
  Inject(core, StmiaR0LowRegisters(words));
  InjectNops(core, 2);
  for (int j = 0; j < words; ++j) {
    const uint32_t word = Chain1Access(core, kNop);
    StoreLittleEndian(destination + kWordBytes * static_cast<std::size_t>(j), FromMemoryOrder(core, word));
  }
  InjectNops(core, 2);
}

using BlockReader = void (*)(Arm7State& core, uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted);

// Blocks of eight words (the last one possibly fewer wanted), progress every 256 words.
ResultCode ReadInBlocks(Arm7State& core, uint32_t address, uint8_t* destination, int count, BlockReader readBlock) {
  if (count < 0 || (count > 0 && destination == nullptr)) return kInvalidParameters;
  if (count > 0) SelectDataBusChain(core);
  int64_t done = 0;
  while (done < count) {
    const uint32_t blockAddress = address + static_cast<uint32_t>(done) * kWordBytes;
    readBlock(core, blockAddress, destination + kWordBytes * static_cast<std::size_t>(done), count - done);
    done += kGetDataBlockWords;
    if (LinkLost(core)) return kLinkLost;
    if (done % kGetDataProgressWords == 0 && ReportProgress(core, ClampToInt32(done), count)) return StopReason(core);
  }
  // The final report only moves the percentage; a stop request no longer matters.
  ShowProgress(core, ClampToInt32(done), count);
  return kOk;
}

}  // namespace

ResultCode ArmGetData(Arm7State& core, uint32_t address, uint8_t* destination, int count) {
  Trace("------------ArmGetData addr = 0x%08x------------\r\n", address);
  return ReadInBlocks(core, address, destination, count, ReadBlock);
}

ResultCode ArmGetDataWithin(Arm7State& core, uint32_t address, uint8_t* destination, int count) {
  return ReadInBlocks(core, address, destination, count, ReadOnlyWordsWanted);
}

// LDMIA r0, {r1-rN} takes the words at debug speed; the STMIA after the BREAKPT-tagged
// NOP is the access the core makes at system speed once RESTART is scanned.
ResultCode ArmPutData(Arm7State& core, uint32_t address, int stride, int count, const uint8_t* source) {
  if (stride < 0 || count < 0 || count > kPutDataMaxWords) return kInvalidParameters;
  if (count == 0) return kOk;
  if (source == nullptr) return kInvalidParameters;
  SelectDataBusChain(core);
  Inject(core, kLdrR0Pc);
  InjectNops(core, 2);
  Inject(core, address);
  Inject(core, kNop);
  InjectStoreOfWords(core, StmiaR0LowRegisters(count), stride, count, source);
  RunAtSystemSpeed(core);
  SelectDataBusChain(core);
  return LinkLost(core) ? kLinkLost : kOk;
}

}  // namespace vantrel::arm7
