// Ctrl-C as a request, not a kill: the session decides what it means at that moment
// (stop a transfer, stop a waiting core, end a script).
#pragma once

namespace vantrel::cli {

// Catches SIGINT from now on. Without SA_RESTART, so a blocking read returns early.
void CatchInterrupts();
bool InterruptPending();
// True when Ctrl-C was pressed since the last call; clears it.
bool TakeInterrupt();

}  // namespace vantrel::cli
