// A line as typed or read from a script: split into commands and words, options taken
// out as each command does, and echoed back. Nothing here may crash or loop.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command_line.h"
#include "commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel::cli;
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto commands = SplitLine(line, &error);
  if (!commands) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  for (const Words& words : *commands) {
    if (words.empty()) __builtin_trap();  // empty commands are dropped
    (void)FindCommand(words[0]);
    (void)JoinWords(words);
    Arguments arguments(Words(words.begin() + 1, words.end()));
    bool missing = false;
    (void)arguments.Flag("--verify");
    (void)arguments.Option("--at", &missing);
    (void)arguments.Option("--out", &missing);
    (void)arguments.UnknownOption();
  }
  return 0;
}
