#include "arm7/comms_loop.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

#include "arm7/aborted_access.h"
#include "arm7/arm7_state.h"
#include "arm7/checksum_loop.h"
#include "arm7/core_state.h"
#include "arm7/debug_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/fast_memory_access.h"
#include "arm7/injection.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7/memory_access.h"
#include "arm7/memory_words.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"
#include "arm7/scan_chain.h"
#include "cable/bit_vector.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr int kLoopWords = static_cast<int>(kCommsLoopBytes / kMemoryWordBytes);
using Loop = std::array<uint32_t, kLoopWords>;

// r1 the next address, r2 the words still to move, r3 the word, r4 the channel's state.
constexpr Loop kStoreLoop = {
    0xEE103E10,  // wait:  MRC p14, 0, r3, c0, c0   the channel's control word
    0xE3130001,  //        TST r3, #1               R: a word from the cable?
    0x0AFFFFFC,  //        BEQ wait
    0xEE113E10,  //        MRC p14, 0, r3, c1, c0   take it
    0xE4813004,  //        STR r3, [r1], #4
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFF8,  //        BNE wait
    0xEAFFFFFE,  // done:  B done
};
constexpr Loop kLoadLoop = {
    0xE4913004,  // next:  LDR r3, [r1], #4
    0xEE104E10,  // wait:  MRC p14, 0, r4, c0, c0
    0xE3140002,  //        TST r4, #2               W: the last word still unread?
    0x1AFFFFFC,  //        BNE wait
    0xEE013E10,  //        MCR p14, 0, r3, c1, c0   hand this one over
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFF8,  //        BNE next
    0xEAFFFFFE,  // done:  B done
};

constexpr uint32_t kWordForCore = 0x1;      // comms control R: the core has not taken it yet
constexpr uint32_t kWordForDebugger = 0x2;  // comms control W: the cable has not read it yet
constexpr int kCountRegister = 2;
// A 32-bit scan of chain 2 leaves its last six bits in the address and read/write field,
// and the data field captured the register that the previous scan addressed.
constexpr int kFieldAfterDataScan = kIceDataBits - kIceAddressAndRwBits;
// One scan in so many samples the status byte, and with it the power-sense lines.
constexpr uint32_t kWordsPerSenseReading = 64;
constexpr int kChannelPolls = 5;
constexpr unsigned kChannelPollIntervalMs = 1;

// The loop's words as bytes that ArmPutDataFast stores so that the core fetches them.
std::array<uint8_t, kCommsLoopBytes> LoopBytes(Arm7State& core, const Loop& loop) {
  std::array<uint8_t, kCommsLoopBytes> bytes{};
  for (int i = 0; i < kLoopWords; ++i) {
    StoreLittleEndian(bytes.data() + kMemoryWordBytes * static_cast<std::size_t>(i),
                      FromMemoryOrder(core, loop[static_cast<std::size_t>(i)]));
  }
  return bytes;
}

// Putting the area back is a write like any other: one that failed leaves the area
// borrowed, for the next debug-state entry to put back.
void PutBackWorkArea(Arm7State& core) {
  if (ArmPutDataFast(core, core.commsLoop.run.workArea, kMemoryWordBytes, kLoopWords, core.commsLoop.run.saved,
                     WriteStart::kLoadAddress) == kOk) {
    core.commsLoop.leftBehind = false;
  }
}

// Each word holds the loop's word or, after a put-back that stopped part way, the saved one.
bool HoldsWhatTheLoopLeft(Arm7State& core, const uint8_t* found, const std::array<uint8_t, kCommsLoopBytes>& loop) {
  for (std::size_t offset = 0; offset < kCommsLoopBytes; offset += kMemoryWordBytes) {
    if (std::memcmp(found + offset, loop.data() + offset, kMemoryWordBytes) != 0 &&
        std::memcmp(found + offset, core.commsLoop.run.saved + offset, kMemoryWordBytes) != 0)
      return false;
  }
  return true;
}

// Saves the work area and puts the loop there; false when it does not read back or its
// accesses abort (no RAM).
bool PlaceLoop(Arm7State& core, const Loop& loop) {
  const std::array<uint8_t, kCommsLoopBytes> bytes = LoopBytes(core, loop);
  uint8_t check[kCommsLoopBytes] = {};
  if (ArmReadBlockFast(core, core.commsLoop.run.workArea, core.commsLoop.run.saved, kLoopWords) != kOk) return false;
  core.commsLoop.leftBehind = true;  // from here on the area holds the loop, or part of it
  if (ArmPutDataFast(core, core.commsLoop.run.workArea, kMemoryWordBytes, kLoopWords, bytes.data(),
                     WriteStart::kLoadAddress) != kOk)
    return false;
  if (ArmReadBlockFast(core, core.commsLoop.run.workArea, check, kLoopWords) != kOk) return false;
  if (std::memcmp(check, bytes.data(), sizeof check) == 0 && !AccessesAborted(core)) return true;
  PutBackWorkArea(core);
  (void)AccessesAborted(core);  // the put-back may abort where the place did
  return false;
}

CommsLoop Stop(Arm7State& core, CommsLoop outcome) {
  core.commsLoop.clocks.reset();
  return outcome;
}

// STMDA r0, {r2} drives r2 onto the data bus in the fourth access. The PC is left to
// drift: the core runs no code before RegisterCache sets it again.
uint32_t CapturedCount(Arm7State& core) {
  SelectDataBusChain(core);
  Inject(core, kRegisterReadInstructions[kCountRegister]);
  InjectNops(core, 2);
  return Chain1Access(core, kNop);
}

// A channel that holds a word already (busyBit set) would hand it to the loop or to the
// cable as the first word: the loop is not used then.
CommsLoop Start(Arm7State& core, const Loop& loop, uint32_t busyBit, uint32_t workArea, uint32_t address,
                uint32_t words) {
  ArmPutBackLeftWorkArea(core);  // before its saved words make way for this loop's
  core.commsLoop.run = CommsRun{};
  core.commsLoop.clocks.emplace(core.cables.Active());
  core.commsLoop.run.workArea = workArea;
  core.commsLoop.run.words = words;
  if (words == 0 || (GetICEReg(core, kIceCommsControl) & busyBit) != 0) return Stop(core, CommsLoop::kUnavailable);
  if (!PlaceLoop(core, loop)) return Stop(core, LinkLost(core) ? CommsLoop::kLinkLost : CommsLoop::kUnavailable);
  core.commsLoop.run.watchpointsWereProgrammed = WatchpointsAsProgrammed(core);
  SetWatchpointsAsProgrammed(core, false);  // until the loop has halted and they are back
  core.commsLoop.run.savedWp1Address = ArmWatchpointsForCode(core);
  Trace("comms loop at 0x%08x for %u words from 0x%08x\r\n", workArea, words, address);
  ArmRunFrom(core, workArea, address, words);  // the loop's address in r1, its count in r2
  SelectIceChain(core);
  return LinkLost(core) ? Stop(core, CommsLoop::kLinkLost) : CommsLoop::kRunning;
}

// Polls the channel's control word until busyBit clears; the core takes or hands over a
// word within a few instructions.
void WaitForChannel(Arm7State& core, uint32_t busyBit) {
  for (int poll = 0; poll < kChannelPolls; ++poll) {
    if ((GetICEReg(core, kIceCommsControl) & busyBit) == 0) return;
    platform::SleepMilliseconds(kChannelPollIntervalMs);
  }
}

// Halts the loop and reads how many words it has still to move. False when the core did
// not halt: it then runs on in the loop, and the work area waits for the next halt.
bool HaltLoop(Arm7State& core, uint32_t& wordsLeft) {
  ArmHaltAtNextFetch(core);
  if (!WaitUntilHaltedAgain(core)) {
    core.commsLoop.clocks.reset();
    return false;
  }
  wordsLeft = CapturedCount(core);
  return true;
}

ResultCode Finish(Arm7State& core, bool inStep) {
  if (!inStep) NoteCommsOutOfStep(core);
  ArmWatchpointsAfterCode(core, core.commsLoop.run.savedWp1Address);
  SetWatchpointsAsProgrammed(core, core.commsLoop.run.watchpointsWereProgrammed);
  PutBackWorkArea(core);
  const bool lost = LinkLost(core);
  core.commsLoop.clocks.reset();
  return lost ? kLinkLost : kOk;
}

}  // namespace

CommsLoop ArmStartCommsStores(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t words) {
  return Start(core, kStoreLoop, kWordForCore, workArea, address, words);
}

void ArmSendCommsWords(Arm7State& core, int stride, int count, const uint8_t* source) {
  for (int i = 0; i < count; ++i) {
    const std::size_t offset = static_cast<std::size_t>(stride) * static_cast<std::size_t>(i);
    cable::BitVector<kIceChainBits> chain;
    chain.words[0] = FromMemoryOrder(core, LoadLittleEndian(source + offset));
    chain.words[1] = static_cast<uint32_t>(kIceCommsData) | kIceWriteFlag;
    const int sensed = core.commsLoop.run.wordsSent++ % kWordsPerSenseReading == 0 ? 1 : 0;
    // Only the status byte of the sensing scans counts: all of them may be answered later.
    core.cables.Active().ScanDRDeferred(kIceChainBits, chain.data(), core.commsLoop.ignoredCapture.data(), sensed,
                                        cable::ScanEnd::kUpdate);
  }
  // The captures stay in flight across chunks, so that a cable behind a link answers a
  // whole window of them at once instead of each chunk's: they are resolved when the
  // cable's window is full or by the next scan that is not deferred (at the latest the
  // one that ends the loop), and a lost cable or power fails the write then.
}

ResultCode ArmEndCommsStores(Arm7State& core, uint32_t wordsSent) {
  WaitForChannel(core, kWordForCore);
  uint32_t wordsLeft = 0;
  if (!HaltLoop(core, wordsLeft)) return kLinkLost;
  return Finish(core, core.commsLoop.run.words - wordsLeft == wordsSent);
}

CommsLoop ArmStartCommsLoads(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t words) {
  const CommsLoop start = Start(core, kLoadLoop, kWordForDebugger, workArea, address, words);
  if (start != CommsLoop::kRunning) return start;
  // Addresses the data register: this scan's update reads the first word.
  const uint32_t field = kIceCommsData;
  core.cables.Active().ScanDR(kIceAddressAndRwBits, &field, nullptr, kIceAddressAndRwBits, cable::ScanEnd::kUpdate);
  core.commsLoop.run.cableReads = 1;
  return CommsLoop::kRunning;
}

void ArmReceiveCommsWords(Arm7State& core, uint32_t* words, int count, bool anotherAfterLast) {
  for (int i = 0; i < count; ++i) {
    const bool anotherToFollow = i + 1 < count || anotherAfterLast;
    const auto next = static_cast<uint32_t>(anotherToFollow ? kIceCommsData : kIceDebugStatus);
    const uint32_t field = next << kFieldAfterDataScan;
    core.cables.Active().ScanDRDeferred(kIceDataBits, &field, &words[i], kIceDataBits, cable::ScanEnd::kUpdate);
    if (anotherToFollow) ++core.commsLoop.run.cableReads;
  }
  core.cables.Active().ResolveCaptures();
}

// Each word the core hands over waits for the cable to read the one before, so the words
// it handed over, less the one still unread, are the reads that found a word waiting. A
// read that came too early found none and repeated the word before: the counts differ.
ResultCode ArmEndCommsLoads(Arm7State& core) {
  uint32_t wordsLeft = 0;
  if (!HaltLoop(core, wordsLeft)) return kLinkLost;
  const bool unread = (GetICEReg(core, kIceCommsControl) & kWordForDebugger) != 0;
  if (unread) (void)GetICEReg(core, kIceCommsData);  // the channel is left empty
  const uint32_t handedOver = core.commsLoop.run.words - wordsLeft - (unread ? 1u : 0u);
  return Finish(core, handedOver == core.commsLoop.run.cableReads);
}

// The work area goes back only while each word still holds the loop's word (or the saved
// one, where an earlier put-back got that far): then nothing has used that memory since,
// and nothing newer is overwritten. A read that fails leaves it for the next entry.
void ArmPutBackLeftWorkArea(Arm7State& core) {
  ArmPutBackLeftChecksumArea(core);
  if (!core.commsLoop.leftBehind) return;
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  uint8_t found[kCommsLoopBytes] = {};
  if (ArmReadBlockFast(core, core.commsLoop.run.workArea, found, kLoopWords) != kOk) return;  // still borrowed
  if (!HoldsWhatTheLoopLeft(core, found, LoopBytes(core, kStoreLoop)) &&
      !HoldsWhatTheLoopLeft(core, found, LoopBytes(core, kLoadLoop))) {
    core.commsLoop.leftBehind = false;  // something has used that memory since
    return;
  }
  Trace("comms loop at 0x%08x taken out\r\n", core.commsLoop.run.workArea);
  PutBackWorkArea(core);
}

}  // namespace vantrel::arm7
