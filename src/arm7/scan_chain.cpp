#include "arm7/scan_chain.h"

#include "arm7/arm7_state.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "cable/bit_vector.h"
#include "cable/cable_registry.h"

namespace vantrel::arm7 {
namespace {

using Chain1Vector = cable::BitVector<kDataBusChainBits>;

constexpr int kBreakptBit = 32;  // in the core's order: D0-D31, then BREAKPT
ScanSelection& Selection() { return CoreState().scan; }

bool AlreadyConnected(int chain) {
  const ScanSelection& selection = Selection();
  return selection.keptDepth > 0 && selection.tapResetsSeen == cable::ActiveCable().TapResetCount() &&
         selection.selectedChain == chain && selection.loadedInstruction == kIrIntest;
}

void ForgetSelection() {
  Selection().selectedChain = ScanSelection::kChainUnknown;
  Selection().loadedInstruction = ScanSelection::kInstructionUnknown;
}

// What the TAP holds is followed from the last reset on.
void FollowFromLastReset() {
  if (Selection().tapResetsSeen == cable::ActiveCable().TapResetCount()) return;
  ForgetSelection();
  Selection().tapResetsSeen = cable::ActiveCable().TapResetCount();
}

void ConnectChain(int chain) {
  if (AlreadyConnected(chain)) return;
  SelectScanChain(chain);
  ScanInstruction(kIrIntest, cable::ScanEnd::kUpdate);
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

void SelectScanChain(int chain) {
  if (!cable::ActiveCable().Opened()) return;
  ScanInstruction(kIrScanN, cable::ScanEnd::kUpdate);
  const uint32_t chainNumber = static_cast<uint32_t>(chain);
  cable::ActiveCable().ScanDR(kChainSelectBits, &chainNumber, nullptr, kChainSelectBits, cable::ScanEnd::kUpdate);
  FollowFromLastReset();
  Selection().selectedChain = chain;
}

void SelectDataBusChain() { ConnectChain(kDataBusChain); }

void SelectIceChain() { ConnectChain(kEmbeddedIceChain); }

KeptChainSelection::KeptChainSelection() {
  if (Selection().keptDepth++ == 0) ForgetSelection();
}

KeptChainSelection::~KeptChainSelection() {
  if (--Selection().keptDepth == 0) ForgetSelection();
}

void NoteInstructionScanned(uint32_t instruction) {
  FollowFromLastReset();
  Selection().loadedInstruction = instruction;
}

void Chain1Send(uint32_t word, Speed speed) {
  const Chain1Vector shifted = ChainOrder(word, speed);
  cable::ActiveCable().ScanDR(kDataBusChainBits, shifted.data(), nullptr, kDataBusChainBits, cable::ScanEnd::kIdle);
}

bool Chain1SendReadingBreakpt(uint32_t word) {
  const Chain1Vector shifted = ChainOrder(word, Speed::kDebug);
  uint32_t captured[cable::WordsForBits(kDataBusChainBits)] = {};
  cable::ActiveCable().ScanDR(kDataBusChainBits, shifted.data(), captured, 1, cable::ScanEnd::kIdle);
  return (captured[0] & 1u) != 0;
}

uint32_t Chain1Access(uint32_t word, Speed speed) {
  const Chain1Vector shifted = ChainOrder(word, speed);
  Chain1Vector captured;
  cable::ActiveCable().ScanDR(kDataBusChainBits, shifted.data(), captured.data(), kDataBusChainBits,
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
