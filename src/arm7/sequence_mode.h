// Whether the host chose the fast sequences (transfer=fast in lpt.ini, or
// VantrelSetTransferMode): memory transfers, stops, runs and register saves then use
// them; otherwise every operation keeps the exact sequences, access for access.
#pragma once

#include "cable/port_config.h"

namespace vantrel::arm7 {

inline bool FastSequences() { return cable::ConfiguredTransferMode() == cable::TransferMode::kFast; }

}  // namespace vantrel::arm7
