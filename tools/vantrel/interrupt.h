// Ctrl-C as a request, not a kill: the session decides what it means at that moment
// (stop a transfer, stop a waiting core, end a script). A command that cannot be
// stopped (a slow cable inside one library call) is ended by a second Ctrl-C.
#pragma once

namespace vantrel::cli {

// Catches SIGINT from now on. Without SA_RESTART, so a blocking read returns early.
// stopTransfer runs inside the signal handler at the first Ctrl-C of a command, so it
// must be async-signal-safe: the library's setJtagProcessBreak only sets a flag.
void CatchInterrupts(void (*stopTransfer)() = nullptr);
bool InterruptPending();
// True when Ctrl-C was pressed since the last call; clears it.
bool TakeInterrupt();

// Marks one command as running. Its first Ctrl-C asks it to stop (and stops a
// transfer through the library); a second one ends the program at once, by SIGINT.
class CommandInProgress {
 public:
  CommandInProgress();
  ~CommandInProgress();
  CommandInProgress(const CommandInProgress&) = delete;
  CommandInProgress& operator=(const CommandInProgress&) = delete;
};

}  // namespace vantrel::cli
