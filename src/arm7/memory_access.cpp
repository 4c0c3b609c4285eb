#include "arm7/memory_access.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "arm7/injection.h"
#include "arm7/link_check.h"
#include "arm7/memory_words.h"
#include "arm7/progress.h"
#include "cable/tap.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr uint32_t kWordBytes = kMemoryWordBytes;

void RunAtSystemSpeed() {
  ScanInstruction(kIrRestart, cable::ScanEnd::kIdle);
  (void)WaitUntilHaltedAgain();
}

// r0 = the word before the block; LDMIA r0, {r0-r8} then loads that word and the eight
// of the block at system speed; STMIA r0!, {r1-r8} drives the eight onto the data bus.
void ReadBlock(uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted) {
  Inject(kLdrR0Pc);
  InjectNops(2);
  Inject(blockAddress - kWordBytes);
  InjectNops(2);
  Inject(kLdmiaR0ToR8, Speed::kSystem);
  InjectNops(2);
  RunAtSystemSpeed();
  SelectDataBusChain();
  Inject(kStmiaR0R1ToR8);
  InjectNops(2);
  for (int j = 0; j < kGetDataBlockWords; ++j) {
    const uint32_t word = Chain1Access(kNop);
    if (j < wordsWanted)
      StoreLittleEndian(destination + kWordBytes * static_cast<std::size_t>(j), FromMemoryOrder(word));
  }
  InjectNops(2);
}

// A stop because the power reading went bad is no stop the host asked for: the words
// still to come are lost, not merely left out.
ResultCode StopReason() { return PowerReadingBad() ? kLinkLost : kTransferStopped; }

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// ReadBlock cut to the words wanted: r0 = the block's first word; LDMIA r0, {r1-rN} at
// system speed; STMIA r0, {r1-rN} drives the N words onto the data bus.
void ReadOnlyWordsWanted(uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted) {
  const int words = static_cast<int>(std::min<int64_t>(wordsWanted, kGetDataBlockWords));
  Inject(kLdrR0Pc);
  InjectNops(2);
  Inject(blockAddress);
  InjectNops(2);
  Inject(LdmiaR0LowRegisters(words), Speed::kSystem);
  InjectNops(2);
  RunAtSystemSpeed();
  SelectDataBusChain();
  Inject(StmiaR0LowRegisters(words));
  InjectNops(2);
  for (int j = 0; j < words; ++j) {
    const uint32_t word = Chain1Access(kNop);
    StoreLittleEndian(destination + kWordBytes * static_cast<std::size_t>(j), FromMemoryOrder(word));
  }
  InjectNops(2);
}

using BlockReader = void (*)(uint32_t blockAddress, uint8_t* destination, int64_t wordsWanted);

// Blocks of eight words (the last one possibly fewer wanted), progress every 256 words.
ResultCode ReadInBlocks(uint32_t address, uint8_t* destination, int count, BlockReader readBlock) {
  if (count < 0 || (count > 0 && destination == nullptr)) return kInvalidParameters;
  if (count > 0) SelectDataBusChain();
  int64_t done = 0;
  while (done < count) {
    const uint32_t blockAddress = address + static_cast<uint32_t>(done) * kWordBytes;
    readBlock(blockAddress, destination + kWordBytes * static_cast<std::size_t>(done), count - done);
    done += kGetDataBlockWords;
    if (LinkLost()) return kLinkLost;
    if (done % kGetDataProgressWords == 0 && ReportProgress(ClampToInt32(done), count)) return StopReason();
  }
  // The final report only moves the percentage; a stop request no longer matters.
  ShowProgress(ClampToInt32(done), count);
  return kOk;
}

}  // namespace

ResultCode ArmGetData(uint32_t address, uint8_t* destination, int count) {
  Trace("------------ArmGetData addr = 0x%08x------------\r\n", address);
  return ReadInBlocks(address, destination, count, ReadBlock);
}

ResultCode ArmGetDataWithin(uint32_t address, uint8_t* destination, int count) {
  return ReadInBlocks(address, destination, count, ReadOnlyWordsWanted);
}

// LDMIA r0, {r1-rN} takes the words at debug speed; the STMIA after the BREAKPT-tagged
// NOP is the access the core makes at system speed once RESTART is scanned.
ResultCode ArmPutData(uint32_t address, int stride, int count, const uint8_t* source) {
  if (stride < 0 || count < 0 || count > kPutDataMaxWords) return kInvalidParameters;
  if (count == 0) return kOk;
  if (source == nullptr) return kInvalidParameters;
  SelectDataBusChain();
  Inject(kLdrR0Pc);
  InjectNops(2);
  Inject(address);
  Inject(kNop);
  InjectStoreOfWords(StmiaR0LowRegisters(count), stride, count, source);
  RunAtSystemSpeed();
  SelectDataBusChain();
  return LinkLost() ? kLinkLost : kOk;
}

}  // namespace vantrel::arm7
