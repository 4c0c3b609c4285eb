#include "support/scripted_target.h"

#include <bit>

namespace vantrel::test {
namespace {

constexpr uint32_t kScanN = 0x2;
constexpr uint32_t kIntest = 0xC;
constexpr uint32_t kIdcode = 0xE;
constexpr uint8_t kStatusSenseLines = 0x60;  // both power-sense lines, read inverted
constexpr uint64_t kScanNCapture = 0x8;      // 1000
constexpr int kStoreDataDistance = 3;        // the fourth access, counting the store's own
constexpr int kMaxStoreReach = kStoreDataDistance + 16;

bool IsArmStoreMultiple(uint32_t word) { return (word & 0xFE100000u) == 0xE8000000u; }

}  // namespace

ScriptedTarget::ScriptedTarget(RecordingPort& port) : data_port_(port.DataPort()) {
  port.SetWriteObserver([this](uint16_t p, uint8_t value) { OnWrite(p, value); });
  port.SetStatusSource([this](uint8_t) { return OnStatusRead(); });
}

void ScriptedTarget::QueueIceReads(int address, const std::vector<uint32_t>& values) {
  auto& queue = ice_queues_[address & 0x1F];
  queue.insert(queue.end(), values.begin(), values.end());
}

void ScriptedTarget::OnWrite(uint16_t port, uint8_t value) {
  if (port != data_port_) return;
  const bool tck = (value & kLineTck) != 0;
  if (tck && !tck_) RisingEdge((value & kLineTms) != 0, (value & kLineTdi) != 0);
  tck_ = tck;
}

// TDO shows bit 0 of the register being shifted; the line reads inverted.
uint8_t ScriptedTarget::OnStatusRead() {
  bool tdo = false;
  if (state_ == TapState::kShiftIr) tdo = (ir_shift_ & 1u) != 0;
  if (state_ == TapState::kShiftDr) tdo = (SelectedDr() & 1u) != 0;
  const uint8_t senseLines = power_lost_ ? kStatusSenseLines : 0x00;
  return static_cast<uint8_t>((tdo ? 0x00 : kStatusTdoInverted) | senseLines);
}

void ScriptedTarget::RisingEdge(bool tms, bool tdi) {
  switch (state_) {
    case TapState::kCaptureIr: ir_shift_ = ir_capture_; break;
    case TapState::kShiftIr: ir_shift_ = (ir_shift_ >> 1) | (tdi ? 0x8u : 0u); break;
    case TapState::kCaptureDr: CaptureDr(); break;
    case TapState::kShiftDr: {
      uint64_t& dr = SelectedDr();
      dr = (dr >> 1) | (tdi ? uint64_t{1} << (SelectedDrLength() - 1) : 0);
      break;
    }
    default: break;
  }
  state_ = NextTapState(state_, tms);
  if (state_ == TapState::kUpdateIr) ir_ = ir_shift_ & 0xF;
  if (state_ == TapState::kUpdateDr) UpdateDr();
  if (state_ == TapState::kTestLogicReset) {
    ir_ = kIdcode;
    chain_ = 3;
  }
}

uint64_t& ScriptedTarget::SelectedDr() {
  if (ir_ == kScanN) return scan_n_;
  if (ir_ == kIdcode) return idcode_shift_;
  if (ir_ == kIntest && chain_ == 1) return chain1_;
  if (ir_ == kIntest && chain_ == 2) return chain2_;
  return bypass_;
}

int ScriptedTarget::SelectedDrLength() const {
  if (ir_ == kScanN) return 4;
  if (ir_ == kIdcode) return 32;
  if (ir_ == kIntest && chain_ == 1) return 33;
  if (ir_ == kIntest && chain_ == 2) return 38;
  return 1;
}

void ScriptedTarget::CaptureDr() {
  if (ir_ == kScanN) scan_n_ = kScanNCapture;
  if (ir_ == kIdcode) idcode_shift_ = idcode_;
  if (ir_ == kIntest && chain_ == 2) chain2_ = (chain2_ & ~uint64_t{0xFFFFFFFF}) | read_latch_;
  if (ir_ == kIntest && chain_ == 1) {
    // BREAKPT (captured as 0) first, then D31 down to D0.
    const uint32_t word = Chain1CaptureWord();
    chain1_ = 0;
    for (int bit = 0; bit < 32; ++bit) {
      if ((word >> bit) & 1u) chain1_ |= uint64_t{1} << (32 - bit);
    }
  }
  if (SelectedDrLength() == 1) bypass_ = 0;
}

void ScriptedTarget::UpdateDr() {
  if (ir_ == kScanN) chain_ = static_cast<int>(scan_n_ & 0xF);
  if (ir_ == kIntest && chain_ == 2) {
    const int address = static_cast<int>((chain2_ >> 32) & 0x1F);
    if ((chain2_ >> 37) & 1u) {
      ice_[address] = static_cast<uint32_t>(chain2_);
      ice_writes_.emplace_back(address, static_cast<uint32_t>(chain2_));
    } else {
      read_latch_ = ReadIce(address);
    }
  }
  if (ir_ == kIntest && chain_ == 1) {
    uint32_t word = 0;
    for (int bit = 0; bit < 32; ++bit) {
      if ((chain1_ >> (32 - bit)) & 1u) word |= 1u << bit;
    }
    injected_.push_back(word);
  }
}

uint32_t ScriptedTarget::ReadIce(int address) {
  ice_reads_.push_back(address);
  auto queue = ice_queues_.find(address);
  if (queue == ice_queues_.end() || queue->second.empty()) return ice_[address];
  const uint32_t value = queue->second.front();
  queue->second.pop_front();
  return value;
}

// STMDA r0, {r0} with MRS r0, CPSR three words before it: the CPSR on its way out.
bool ScriptedTarget::StoresStatusRegister(int storeAccess) const {
  constexpr uint32_t kStmdaR0R0 = 0xE8000001;
  constexpr uint32_t kMrsR0Cpsr = 0xE10F0000;
  constexpr int kMrsDistance = 3;
  if (storeAccess < kMrsDistance || injected_[static_cast<std::size_t>(storeAccess)] != kStmdaR0R0) return false;
  return injected_[static_cast<std::size_t>(storeAccess - kMrsDistance)] == kMrsR0Cpsr;
}

uint32_t ScriptedTarget::Chain1CaptureWord() {
  const int capture = chain1_captures_++;
  if (auto scripted = chain1_script_.find(capture); scripted != chain1_script_.end()) return scripted->second;
  if (!store_source_) return 0;
  // The access being captured comes after every word updated so far.
  const int access = static_cast<int>(injected_.size());
  int stores = 0;
  for (std::size_t i = 0; i < injected_.size(); ++i) stores += IsArmStoreMultiple(injected_[i]) ? 1 : 0;
  for (int back = kStoreDataDistance; back <= kMaxStoreReach && back <= access; ++back) {
    const uint32_t word = injected_[static_cast<std::size_t>(access - back)];
    if (!IsArmStoreMultiple(word)) continue;
    const int index = back - kStoreDataDistance;
    if (cpsr_ && StoresStatusRegister(access - back)) return *cpsr_;
    const int registers = std::popcount(word & 0xFFFFu);
    if (index >= registers) return 0;
    int storesAfter = 0;
    for (int k = access - back + 1; k < access; ++k)
      storesAfter += IsArmStoreMultiple(injected_[static_cast<std::size_t>(k)]) ? 1 : 0;
    return store_source_(stores - 1 - storesAfter, index);
  }
  return 0;
}

}  // namespace vantrel::test
