// The interactive prompt: GNU readline for line editing and history, and Ctrl-C that
// clears the line being typed instead of ending the session.
#include <readline/history.h>
#include <readline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "interrupt.h"
#include "runner.h"

namespace vantrel::cli {

namespace {

// Called by readline when a signal interrupts its read: Ctrl-C abandons the line.
int OnSignalDuringInput() {
  if (TakeInterrupt()) {
    std::printf("^C\n");
    rl_replace_line("", 0);
    rl_on_new_line();
    rl_redisplay();
  }
  return 0;
}

}  // namespace

void RunPrompt(Runner& runner, Session& session) {
  rl_catch_signals = 0;  // our SIGINT handler stays in place; readline is told through the hook
  rl_signal_event_hook = OnSignalDuringInput;
  using_history();
  std::printf("vantrel: type help for the commands, quit to leave\n");
  while (!session.QuitRequested()) {
    TakeInterrupt();
    char* raw = readline("vantrel> ");
    if (raw == nullptr) {
      std::printf("\n");
      break;
    }
    const std::string line(raw);
    std::free(raw);
    if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
    runner.RunLine(line, "prompt");
    runner.Resume();
  }
}

}  // namespace vantrel::cli
