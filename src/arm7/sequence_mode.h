// Whether the host chose the fast sequences (transfer=fast in lpt.ini, or
// VantrelSetTransferMode): memory transfers, stops, runs, connects and register accesses
// then use them; otherwise every operation keeps the exact sequences, access for access.
#pragma once

#include <optional>

#include "arm7/scan_chain.h"
#include "cable/cable_registry.h"

namespace vantrel::arm7 {

inline bool FastSequences() { return cable::CurrentCableChoice().FastTransferMode(); }

// For one operation under the fast sequences: the fast clocks, and the chain selection
// kept from one step to the next. With the exact sequences it changes nothing.
class FastSequenceScope {
 public:
  FastSequenceScope() {
    if (!FastSequences()) return;
    clocks_.emplace();
    selection_.emplace();
  }

 private:
  std::optional<cable::UnreadTdoScope> clocks_;
  std::optional<KeptChainSelection> selection_;
};

}  // namespace vantrel::arm7
