#include "arm7/scan_chain.h"

#include "arm7/arm7_state.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "cable/bit_vector.h"

namespace vantrel::arm7 {
namespace {

using Chain1Vector = cable::BitVector<kDataBusChainBits>;

constexpr int kBreakptBit = 32;  // in the core's order: D0-D31, then BREAKPT

bool AlreadyConnected(Arm7State& core, int chain) {
  const ScanSelection& selection = core.scan;
  return selection.keptDepth > 0 && selection.tapResetsSeen == core.cables.Active().TapResetCount() &&
         selection.selectedChain == chain && selection.loadedInstruction == kIrIntest;
}

void ForgetSelection(ScanSelection& selection) {
  selection.selectedChain = ScanSelection::kChainUnknown;
  selection.loadedInstruction = ScanSelection::kInstructionUnknown;
}

// What the TAP holds is followed from the last reset on.
void FollowFromLastReset(Arm7State& core) {
  const uint32_t tapResets = core.cables.Active().TapResetCount();
  if (core.scan.tapResetsSeen == tapResets) return;
  ForgetSelection(core.scan);
  core.scan.tapResetsSeen = tapResets;
}

void ConnectChain(Arm7State& core, int chain) {
  if (AlreadyConnected(core, chain)) return;
  SelectScanChain(core, chain);
  ScanInstruction(core, kIrIntest, cable::ScanEnd::kUpdate);
}

bool GetBit(const uint32_t* words, int k) { return ((words[k / 32] >> (k % 32)) & 1u) != 0; }

void PutBit(uint32_t* words, int k, bool value) {
  const uint32_t mask = 1u << (k % 32);
  words[k / 32] = value ? (words[k / 32] | mask) : (words[k / 32] & ~mask);
}

// The chain wants BREAKPT first and D31 before D0, the reverse of the core's bit order.
Chain1Vector ChainOrder(uint32_t word, Speed speed) {
  Chain1Vector shifted;
  shifted.words[0] = word;
  shifted.SetBit(kBreakptBit, speed == Speed::kSystem);
  ReverseBits(kDataBusChainBits, shifted.data());
  return shifted;
}

}  // namespace

void SelectScanChain(Arm7State& core, int chain) {
  cable::Cable& jtag = core.cables.Active();
  if (!jtag.Opened()) return;
  ScanInstruction(core, kIrScanN, cable::ScanEnd::kUpdate);
  const uint32_t chainNumber = static_cast<uint32_t>(chain);
  jtag.ScanDR(kChainSelectBits, &chainNumber, nullptr, kChainSelectBits, cable::ScanEnd::kUpdate);
  FollowFromLastReset(core);
  core.scan.selectedChain = chain;
}

void SelectDataBusChain(Arm7State& core) { ConnectChain(core, kDataBusChain); }

void SelectIceChain(Arm7State& core) { ConnectChain(core, kEmbeddedIceChain); }

KeptChainSelection::KeptChainSelection(Arm7State& core) : core_(core) {
  if (core_.scan.keptDepth++ == 0) ForgetSelection(core_.scan);
}

KeptChainSelection::~KeptChainSelection() {
  if (--core_.scan.keptDepth == 0) ForgetSelection(core_.scan);
}

void NoteInstructionScanned(Arm7State& core, uint32_t instruction) {
  FollowFromLastReset(core);
  core.scan.loadedInstruction = instruction;
}

void Chain1Send(Arm7State& core, uint32_t word, Speed speed) {
  const Chain1Vector shifted = ChainOrder(word, speed);
  core.cables.Active().ScanDR(kDataBusChainBits, shifted.data(), nullptr, kDataBusChainBits, cable::ScanEnd::kIdle);
}

bool Chain1SendReadingBreakpt(Arm7State& core, uint32_t word) {
  const Chain1Vector shifted = ChainOrder(word, Speed::kDebug);
  uint32_t captured[cable::WordsForBits(kDataBusChainBits)] = {};
  core.cables.Active().ScanDR(kDataBusChainBits, shifted.data(), captured, 1, cable::ScanEnd::kIdle);
  return (captured[0] & 1u) != 0;
}

uint32_t Chain1Access(Arm7State& core, uint32_t word, Speed speed) {
  const Chain1Vector shifted = ChainOrder(word, speed);
  Chain1Vector captured;
  core.cables.Active().ScanDR(kDataBusChainBits, shifted.data(), captured.data(), kDataBusChainBits,
                              cable::ScanEnd::kIdle);
  ReverseBits(kDataBusChainBits, captured.data());
  return captured.words[0];
}

void ReverseBits(int bitCount, uint32_t* words) {
  if (bitCount < 1 || words == nullptr) return;
  for (int low = 0, high = bitCount - 1; low < high; ++low, --high) {
    const bool lowBit = GetBit(words, low);
    PutBit(words, low, GetBit(words, high));
    PutBit(words, high, lowBit);
  }
  const int usedInLastWord = (bitCount - 1) % 32 + 1;
  if (usedInLastWord < 32) words[(bitCount - 1) / 32] &= (1u << usedInLastWord) - 1u;
}

}  // namespace vantrel::arm7
