// An access that aborts at system speed takes the core into Abort mode (its lr and SPSR
// overwritten, IRQs masked) before it drops back into debug state, and the words it moved
// are not memory. The watch tells such a transfer from a clean one by the core's mode
// afterwards, and puts the core back as it halted, so that the next transfer can show an
// abort of its own.
//
// A core that halted in Abort mode could not show a further abort by its mode: it moves
// the transfer to System mode for the time of the transfer, keeping the registers that
// takes (the Abort mode's SPSR, and the user r13 and r14 that System mode works on). The
// Abort mode's own r13 and r14 are the cached registers of the halted mode, which the
// next run writes back. A core halted in any other mode costs nothing until the end.
#pragma once

#include <cstdint>

#include "core/debug_core.h"

namespace vantrel::target {

class TargetLayerState;

class AbortWatch {
 public:
  enum class Outcome { kClean, kAborted, kLinkLost };

  // Call with the core halted, right before the transfer's first access.
  explicit AbortWatch(TargetLayerState& target);
  AbortWatch(const AbortWatch&) = delete;
  AbortWatch& operator=(const AbortWatch&) = delete;
  ~AbortWatch() = default;

  // Checks the transfer that reached the core: one CPSR read. After an abort, or when the
  // core was moved to System mode, puts the mode, the CPSR and the registers kept back.
  // Once the core is put back, a further call answers kClean and sends nothing.
  Outcome Check();

  // For a transfer that never reached the core: only puts back what the start moved.
  void PutBack();

 private:
  void Restore(uint32_t currentCpsr);
  uint32_t ReadCore(int index);
  void WriteCore(int index, uint32_t value);

  core::DebugCore& core_;
  uint32_t haltedCpsr_;
  bool moved_ = false;    // to System mode, from Abort mode
  bool settled_ = false;  // put back once: later calls do nothing
  uint32_t abortSpsr_ = 0;
  uint32_t userSp_ = 0;
  uint32_t userLr_ = 0;
};

}  // namespace vantrel::target
