#include "arm7/aborted_access.h"

#include <cstdint>

#include "arm7/core_state.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"

namespace vantrel::arm7 {
namespace {

constexpr int kCpsrRegister = 16;  // the register index of the CPSR, in reads, writes and the cache
constexpr uint32_t kModeBits = 0x1F;

}  // namespace

bool AccessesAborted(Arm7State& core) {
  const uint32_t cpsr = ArmReadCpsrFast(core);
  const uint32_t halted = RegisterCache(core)[kCpsrRegister];
  if ((cpsr & kModeBits) == (halted & kModeBits)) return false;
  (void)ArmWriteRegister(core, kCpsrRegister, halted, WriteForm::kArm);
  return true;
}

}  // namespace vantrel::arm7
