#include "target/abort_watch.h"

#include "target/register_cache.h"
#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

using arch::ModeOf;
using arch::WithMode;

constexpr auto kSystemModeField = static_cast<uint32_t>(kSystemMode);

}  // namespace

uint32_t AbortWatch::ReadCore(int index) {
  uint32_t value = 0;
  (void)core_.ReadRegister(index, value);
  return value;
}

void AbortWatch::WriteCore(int index, uint32_t value) { (void)core_.WriteRegister(index, value); }

AbortWatch::AbortWatch(TargetLayerState& target) : core_(target.Core()), haltedCpsr_(core_.Registers()[kCpsrIndex]) {
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
  const uint32_t cpsr = core_.FastSequences() ? core_.ReadCpsrFast() : ReadCore(kCpsrIndex);
  if (core_.LinkLost()) return Outcome::kLinkLost;
  const uint32_t watchedMode = moved_ ? kSystemModeField : ModeOf(haltedCpsr_);
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
    if (ModeOf(currentCpsr) != kSystemModeField) WriteCore(kCpsrIndex, WithMode(haltedCpsr_, kSystemMode));
    WriteCore(kSpIndex, userSp_);
    WriteCore(kLrIndex, userLr_);
  }
  WriteCore(kCpsrIndex, haltedCpsr_);
  if (moved_) WriteCore(kSpsrIndex, abortSpsr_);
}

}  // namespace vantrel::target
