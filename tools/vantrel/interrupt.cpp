#include "interrupt.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace vantrel::cli {

namespace {

volatile sig_atomic_t interrupted = 0;
volatile sig_atomic_t commandRunning = 0;
volatile sig_atomic_t pressesDuringCommand = 0;
void (*volatile stopTransferHook)() = nullptr;

void Say(const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); }

void OnInterrupt(int) {
  interrupted = 1;
  if (commandRunning == 0) return;
  if (pressesDuringCommand != 0) {
    // The default action runs when the handler returns: the process ends as a shell
    // expects of Ctrl-C (killed by SIGINT).
    Say("\nvantrel: Ctrl-C again: ending now\n");
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return;
  }
  pressesDuringCommand = 1;
  Say("\nvantrel: Ctrl-C: stopping the command; Ctrl-C again ends vantrel at once\n");
  if (stopTransferHook != nullptr) stopTransferHook();
}

}  // namespace

void CatchInterrupts(void (*stopTransfer)()) {
  stopTransferHook = stopTransfer;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptPending() { return interrupted != 0; }

bool TakeInterrupt() {
  const bool was = interrupted != 0;
  interrupted = 0;
  return was;
}

CommandInProgress::CommandInProgress() {
  pressesDuringCommand = 0;
  commandRunning = 1;
}

CommandInProgress::~CommandInProgress() { commandRunning = 0; }

}  // namespace vantrel::cli
