// Whether the host chose the fast sequences (transfer=fast in lpt.ini, or
// VantrelSetTransferMode): memory transfers, stops, runs, connects and register accesses
// then use them; otherwise every operation keeps the exact sequences, access for access.
#pragma once

#include <optional>

#include "arm7/arm7_state.h"
#include "arm7/scan_chain.h"
#include "cable/cable_registry.h"

namespace vantrel::arm7 {

inline bool FastSequences(Arm7State& core) { return core.cables.FastTransferMode(); }

// For one operation under the fast sequences: the fast clocks, and the chain selection
// kept from one step to the next. With the exact sequences it changes nothing.
class FastSequenceScope {
 public:
  explicit FastSequenceScope(Arm7State& core) {
    if (!FastSequences(core)) return;
    clocks_.emplace(core.cables.Active());
    selection_.emplace(core);
  }

 private:
  std::optional<cable::UnreadTdoScope> clocks_;
  std::optional<KeptChainSelection> selection_;
};

}  // namespace vantrel::arm7
