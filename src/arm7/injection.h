// Small helpers for the instruction sequences fed to the halted core on scan chain 1.
// Internal to the debug core.
#pragma once

#include <cstdint>

#include "arm7/instructions.h"
#include "arm7/scan_chain.h"

namespace vantrel::arm7 {

// One chain-1 access whose capture is not wanted.
inline void Inject(Arm7State& core, uint32_t word, Speed speed = Speed::kDebug) { Chain1Send(core, word, speed); }

inline void InjectNops(Arm7State& core, int count) {
  for (int i = 0; i < count; ++i) Inject(core, kNop);
}

}  // namespace vantrel::arm7
