#include "interrupt.h"

#include <csignal>
#include <cstring>

namespace vantrel::cli {

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void CatchInterrupts() {
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

}  // namespace vantrel::cli
