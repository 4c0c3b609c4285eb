#include "target/abort_watch.h"

#include "arm7/core_state.h"
#include "arm7/link_check.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"
#include "arm7/sequence_mode.h"
#include "target/register_cache.h"

namespace vantrel::target {
namespace {

uint32_t ReadCore(int index) {
  uint32_t value = 0;
  (void)arm7::ArmReadRegister(index, value);
  return value;
}

void WriteCore(int index, uint32_t value) { (void)arm7::ArmWriteRegister(index, value, arm7::kArmForm); }

uint32_t ModeOf(uint32_t cpsr) { return cpsr & kModeField; }
uint32_t WithMode(uint32_t cpsr, uint32_t mode) { return (cpsr & ~kModeField) | mode; }

}  // namespace

AbortWatch::AbortWatch() : haltedCpsr_(arm7::RegisterCache()[kCpsrIndex]) {
  if (ModeOf(haltedCpsr_) != static_cast<uint32_t>(kAbortMode)) return;
  moved_ = true;
  abortSpsr_ = ReadCore(kSpsrIndex);
  WriteCore(kCpsrIndex, WithMode(haltedCpsr_, kSystemMode));
  userSp_ = ReadCore(kSpIndex);
  userLr_ = ReadCore(kLrIndex);
}

AbortWatch::Outcome AbortWatch::Check() {
  if (settled_) return Outcome::kClean;
  // The fast check does not put r0 back: a transfer has changed it already.
  const uint32_t cpsr = arm7::FastSequences() ? arm7::ArmReadCpsrFast() : ReadCore(kCpsrIndex);
  if (arm7::LinkLost()) return Outcome::kLinkLost;
  const uint32_t watchedMode = moved_ ? kSystemMode : ModeOf(haltedCpsr_);
  const bool aborted = ModeOf(cpsr) != watchedMode;
  if (aborted || moved_) Restore(cpsr);
  return aborted ? Outcome::kAborted : Outcome::kClean;
}

void AbortWatch::PutBack() {
  if (moved_ && !settled_) Restore(ReadCore(kCpsrIndex));
}

// The registers kept are System mode's, so the core goes there first when an abort took
// it away; the CPSR write is last but one, the SPSR it then exposes is the Abort mode's.
void AbortWatch::Restore(uint32_t currentCpsr) {
  settled_ = true;
  if (moved_) {
    if (ModeOf(currentCpsr) != kSystemMode) WriteCore(kCpsrIndex, WithMode(haltedCpsr_, kSystemMode));
    WriteCore(kSpIndex, userSp_);
    WriteCore(kLrIndex, userLr_);
  }
  WriteCore(kCpsrIndex, haltedCpsr_);
  if (moved_) WriteCore(kSpsrIndex, abortSpsr_);
}

}  // namespace vantrel::target
