#include "commands/host_view.h"

#include "target/core_status.h"

namespace vantrel::commands {

uint32_t CoreStatusWord() { return target::CoreStatusWord(); }
int32_t TransferPercent() { return target::TransferPercent(); }
void RequestTransferStop() { target::RequestTransferStop(); }
void ResetTransferProgress() { target::ResetTransferProgress(); }

}  // namespace vantrel::commands
