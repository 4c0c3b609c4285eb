// Scan-chain selection and the 33-bit exchange on scan chain 1 (the core's data bus with
// the BREAKPT bit), through which every instruction reaches the halted core.
#pragma once

#include <cstdint>

namespace vantrel::arm7 {

struct Arm7State;

// SCAN_N then the 4-bit chain number; the TAP is left in Update-DR. Nothing is scanned
// while no cable port is selected. Selects again even when the chain is already selected.
void SelectScanChain(Arm7State& core, int chain);

// The preamble of every instruction sequence: chain 1 selected, INTEST loaded; the TAP is
// left in Update-IR. Under KeptChainSelection nothing is sent when chain 1 is selected and
// INTEST loaded already.
void SelectDataBusChain(Arm7State& core);

// The preamble of every EmbeddedICE access: chain 2 selected, INTEST loaded; the TAP is
// left in Update-IR. Under KeptChainSelection as SelectDataBusChain.
void SelectIceChain(Arm7State& core);

// While one of these lives, the two preambles above skip what the TAP already holds: the
// instruction scans and chain selections made meanwhile are followed, and a TAP reset
// makes them unknown again. For the fast sequences only. The outermost one ends it, and
// the next one starts knowing nothing. Without one, every preamble is sent in full.
class KeptChainSelection {
 public:
  explicit KeptChainSelection(Arm7State& core);
  ~KeptChainSelection();
  KeptChainSelection(const KeptChainSelection&) = delete;
  KeptChainSelection& operator=(const KeptChainSelection&) = delete;

 private:
  Arm7State& core_;
};

// Every instruction scan reports its instruction here (link_check.h's ScanInstruction).
void NoteInstructionScanned(Arm7State& core, uint32_t instruction);

// The BREAKPT bit of a chain-1 word: set, the instruction runs at system speed once the
// core is restarted; clear, at debug speed like every other word.
enum class Speed { kDebug, kSystem };

// One chain-1 exchange: the word (and BREAKPT) becomes the core's next instruction or
// data word, and the data-bus value captured by this access is returned. Needs chain 1
// selected with INTEST loaded; the TAP ends in Run-Test/Idle, where the halted core takes
// one debug clock. BREAKPT is shifted first, then D31 down to D0.
uint32_t Chain1Access(Arm7State& core, uint32_t word, Speed speed = Speed::kDebug);

// Chain1Access whose capture nobody wants: the same exchange, nothing read back where
// the cable can skip it (cable::UnreadTdoScope).
void Chain1Send(Arm7State& core, uint32_t word, Speed speed = Speed::kDebug);

// Chain1Access at debug speed that keeps only the captured BREAKPT bit (shifted out
// first): set while the core's last entry into debug state was the return from a
// system-speed access and no debug clock has passed since. Returns whether it was set.
[[nodiscard]] bool Chain1SendReadingBreakpt(Arm7State& core, uint32_t word);

// Reverses the order of the first bitCount bits held in words (bit k in word k / 32,
// position k mod 32). Bits above bitCount in the last word become 0. bitCount < 1: no change.
void ReverseBits(int bitCount, uint32_t* words);

}  // namespace vantrel::arm7
