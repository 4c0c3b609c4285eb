#include "arm7/checksum_loop.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

#include "arm7/aborted_access.h"
#include "arm7/arm7_state.h"
#include "arm7/comms_loop.h"
#include "arm7/core_state.h"
#include "arm7/debug_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/fast_memory_access.h"
#include "arm7/injection.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7/memory_words.h"
#include "arm7/scan_chain.h"
#include "cable/jtag_cable.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr int kLoopWords = static_cast<int>(kChecksumLoopBytes / kMemoryWordBytes);
using Loop = std::array<uint32_t, kLoopWords>;

constexpr uint32_t kMovsR0Lsr1 = 0xE1B000A0;  // MOVS r0, r0, LSR #1   the bit shifted out in C
constexpr uint32_t kEorcsR0R4 = 0x20200004;   // EORCS r0, r0, r4      the polynomial where it was 1
constexpr uint32_t kCrcPolynomial = 0xEDB88320;
constexpr std::size_t kBitsPerByte = 8;
constexpr std::size_t kFirstStepWord = 4;  // the eight steps of a byte from here on
constexpr int kDoneWord = 23;              // the loop's end, where watchpoint 0 halts it

// r0 the CRC, r1 the next address, r2 the bytes still to read, r3 the byte, r4 the
// polynomial. Eight unrolled steps a byte: about 21 instructions.
constexpr Loop BuildLoop() {
  Loop loop{};
  loop[0] = 0xE3E00000;  // MVN r0, #0               the CRC starts as all ones
  loop[1] = 0xE59F4054;  // LDR r4, [pc, #84]        the polynomial, word 24
  loop[2] = 0xE4D13001;  // next: LDRB r3, [r1], #1
  loop[3] = 0xE0200003;  // EOR r0, r0, r3
  for (std::size_t bit = 0; bit < kBitsPerByte; ++bit) {
    loop[kFirstStepWord + 2 * bit] = kMovsR0Lsr1;
    loop[kFirstStepWord + 2 * bit + 1] = kEorcsR0R4;
  }
  loop[20] = 0xE2522001;         // SUBS r2, r2, #1
  loop[21] = 0x1AFFFFEB;         // BNE next
  loop[22] = 0xE1E00000;         // MVN r0, r0               inverted at the end
  loop[kDoneWord] = 0xEAFFFFFE;  // done: B done
  loop[24] = kCrcPolynomial;
  return loop;
}
constexpr Loop kLoop = BuildLoop();

constexpr int kCrcRegister = 0;
constexpr int kAddressRegister = 1;
constexpr int kCountRegister = 2;
// The time limit, in debug-status polls: each poll's scans let the core run, a few
// hundred instructions on the slowest core the board offers (about 21 a byte).
constexpr uint32_t kBasePolls = 256;
constexpr uint32_t kBytesPerPoll = 4;

using Borrowed = ChecksumBorrowed;

std::array<uint8_t, kChecksumLoopBytes> LoopBytes(Arm7State& core) {
  std::array<uint8_t, kChecksumLoopBytes> bytes{};
  for (int i = 0; i < kLoopWords; ++i) {
    StoreLittleEndian(bytes.data() + kMemoryWordBytes * static_cast<std::size_t>(i),
                      FromMemoryOrder(core, kLoop[static_cast<std::size_t>(i)]));
  }
  return bytes;
}

// The area in blocks of the debug bus; false when one failed.
bool ReadArea(Arm7State& core, uint32_t address, uint8_t* destination) {
  for (int word = 0; word < kLoopWords; word += kFastBlockWords) {
    const int count = std::min(kFastBlockWords, kLoopWords - word);
    const uint32_t offset = kMemoryWordBytes * static_cast<uint32_t>(word);
    if (ArmReadBlockFast(core, address + offset, destination + offset, count) != kOk) return false;
  }
  return true;
}

// Every block is sent even after one failed: a power reading gone bad fails the blocks
// that the cable still writes, and a put-back must not stop half way.
bool WriteArea(Arm7State& core, uint32_t address, const uint8_t* source) {
  bool written = true;
  for (int word = 0; word < kLoopWords; word += kFastBlockWords) {
    const int count = std::min(kFastBlockWords, kLoopWords - word);
    const uint32_t offset = kMemoryWordBytes * static_cast<uint32_t>(word);
    written = ArmPutDataFast(core, address + offset, kMemoryWordBytes, count, source + offset,
                             WriteStart::kLoadAddress) == kOk &&
              written;
  }
  return written;
}

// STMDA r0, {r<index>} drives the register onto the data bus in the fourth access. The
// PC is left to drift: the core runs no code before RegisterCache sets it again.
uint32_t CapturedRegister(Arm7State& core, int index) {
  SelectDataBusChain(core);
  Inject(core, kRegisterReadInstructions[static_cast<std::size_t>(index)]);
  InjectNops(core, 2);
  return Chain1Access(core, kNop);
}

// Saves the area and puts the loop there; false when it does not read back or its
// accesses abort (no RAM): then the area is as it was, as far as it could be written.
bool PlaceLoop(Arm7State& core, Borrowed& borrowed) {
  const std::array<uint8_t, kChecksumLoopBytes> bytes = LoopBytes(core);
  uint8_t check[kChecksumLoopBytes] = {};
  if (!ReadArea(core, borrowed.workArea, borrowed.saved)) return false;
  core.checksumLeftBehind = borrowed;  // from here on the area holds the loop, or part of it
  const bool placed = WriteArea(core, borrowed.workArea, bytes.data()) && ReadArea(core, borrowed.workArea, check) &&
                      std::memcmp(check, bytes.data(), sizeof check) == 0;
  if (placed && !AccessesAborted(core)) return true;
  if (WriteArea(core, borrowed.workArea, borrowed.saved)) core.checksumLeftBehind.reset();
  (void)AccessesAborted(core);  // the put-back may abort where the place did
  return false;
}

// Watchpoint 0 on the fetch of the loop's last word, watchpoint 1 on the vectors.
void ArmWatchpointsForLoop(Arm7State& core, Borrowed& borrowed) {
  borrowed.watchpointsWereProgrammed = WatchpointsAsProgrammed(core);
  SetWatchpointsAsProgrammed(core, false);  // until the loop has halted and they are back
  borrowed.savedWp0Address = GetICEReg(core, kWp0AddressValue);
  borrowed.savedWp1Address = ArmWatchpointsForCode(core);
  SetICEReg(core, kWp0AddressValue, borrowed.workArea + kMemoryWordBytes * kDoneWord);
  SetICEReg(core, kWp0AddressMask, kCompareEveryBit);
  SetICEReg(core, kWp0DataMask, kCompareNoBit);
  SetICEReg(core, kWp0ControlMask, kWpMaskFetch);
  SetICEReg(core, kWp0ControlValue, kWpControlFetch);
}

// Watchpoint 0 back as the hardware breakpoint's comparator; a unit lent to the host is
// rewritten whole by ArmWatchpointsAfterCode.
void WatchpointsAfterLoop(Arm7State& core, const Borrowed& borrowed) {
  SetICEReg(core, kWp0AddressValue, borrowed.savedWp0Address);
  SetICEReg(core, kWp0DataMask, kCompareNoBit);
  SetICEReg(core, kWp0ControlMask, kWpMaskFetch);
  ArmWatchpointsAfterCode(core, borrowed.savedWp1Address);
  SetWatchpointsAsProgrammed(core, borrowed.watchpointsWereProgrammed);
}

// Polls the debug status until the core halts, within the time limit; false when it
// did not, or the link was lost.
bool WaitForLoopEnd(Arm7State& core, uint32_t length) {
  const uint32_t polls = kBasePolls + length / kBytesPerPoll;
  for (uint32_t poll = 0; poll < polls && !LinkLost(core); ++poll) {
    if ((GetICEReg(core, kIceDebugStatus) & kHaltedMask) == kStatusHalted) return !LinkLost(core);
  }
  return false;
}

// What the halted core says about its run: every byte read, in its own mode.
ChecksumRun Judge(Arm7State& core, uint32_t address, uint32_t length, bool timedOut) {
  const uint32_t crc = CapturedRegister(core, kCrcRegister);
  const bool allRead =
      CapturedRegister(core, kCountRegister) == 0 && CapturedRegister(core, kAddressRegister) == address + length;
  if (AccessesAborted(core)) return {ChecksumOutcome::kAborted, 0};
  if (LinkLost(core)) return {ChecksumOutcome::kLinkLost, 0};
  if (timedOut || !allRead) return {ChecksumOutcome::kTimeLimit, 0};
  return {ChecksumOutcome::kDone, crc};
}

ChecksumRun RunLoop(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t length) {
  Borrowed borrowed{};
  borrowed.workArea = workArea;
  if (length == 0 || !PlaceLoop(core, borrowed)) {
    return {LinkLost(core) ? ChecksumOutcome::kLinkLost : ChecksumOutcome::kUnavailable, 0};
  }
  ArmWatchpointsForLoop(core, borrowed);
  Trace("checksum loop at 0x%08x for %u bytes from 0x%08x\r\n", workArea, length, address);
  ArmRunFrom(core, workArea, address, length);  // the loop's address in r1, its count in r2
  const bool ended = WaitForLoopEnd(core, length);
  bool halted = ended;
  if (!ended) {  // the time limit, or a link lost on the way: halted all the same if it can be
    ArmHaltAtNextFetch(core);
    halted = WaitUntilHaltedAgain(core);
  }
  const ChecksumRun run = halted ? Judge(core, address, length, !ended) : ChecksumRun{ChecksumOutcome::kLinkLost, 0};
  // Written even to a core that did not halt: the hardware breakpoint's address must not
  // stay at the loop's end. A core that did not halt keeps the loop in the area.
  WatchpointsAfterLoop(core, borrowed);
  if (!halted) return run;
  if (WriteArea(core, workArea, borrowed.saved)) core.checksumLeftBehind.reset();
  if (LinkLost(core)) return {ChecksumOutcome::kLinkLost, 0};
  return run;
}

const char* OutcomeName(ChecksumOutcome outcome) {
  switch (outcome) {
    case ChecksumOutcome::kDone: return "done";
    case ChecksumOutcome::kUnavailable: return "no place for it";
    case ChecksumOutcome::kAborted: return "an access aborted";
    case ChecksumOutcome::kTimeLimit: return "time limit";
    case ChecksumOutcome::kLinkLost: return "link lost";
  }
  return "unknown";
}

}  // namespace

ChecksumRun ArmChecksumBytes(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t length) {
  ArmPutBackLeftWorkArea(core);  // before its saved bytes make way for this loop's
  const ChecksumRun run = RunLoop(core, workArea, address, length);
  if (run.outcome != ChecksumOutcome::kDone) Trace("checksum loop failed: %s\r\n", OutcomeName(run.outcome));
  return run;
}

// The area goes back only while each word still holds the loop's word (or the saved
// one, where an earlier put-back got that far): nothing newer is overwritten.
void ArmPutBackLeftChecksumArea(Arm7State& core) {
  std::optional<Borrowed>& leftBehind = core.checksumLeftBehind;
  if (!leftBehind.has_value()) return;
  const cable::UnreadTdoScope unreadTdo(core.cables.Active());
  const std::array<uint8_t, kChecksumLoopBytes> loop = LoopBytes(core);
  uint8_t found[kChecksumLoopBytes] = {};
  if (!ReadArea(core, leftBehind->workArea, found)) return;  // still borrowed
  for (std::size_t offset = 0; offset < kChecksumLoopBytes; offset += kMemoryWordBytes) {
    if (std::memcmp(found + offset, loop.data() + offset, kMemoryWordBytes) != 0 &&
        std::memcmp(found + offset, leftBehind->saved + offset, kMemoryWordBytes) != 0) {
      leftBehind.reset();  // something has used that memory since
      return;
    }
  }
  Trace("checksum loop at 0x%08x taken out\r\n", leftBehind->workArea);
  if (WriteArea(core, leftBehind->workArea, leftBehind->saved)) leftBehind.reset();
}

}  // namespace vantrel::arm7
