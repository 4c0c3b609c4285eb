// The program's own options, before the session's commands.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board_spec.h"

namespace vantrel::cli {

struct Options {
  std::string libraryPath;          // empty: beside the program
  std::optional<std::string> port;  // a real cable on this port; otherwise the simulated board
  BoardSpec board;
  std::optional<std::string> remoteBitbang;  // HOST:PORT of a remote_bitbang server
  std::string scriptPath;
  std::string commands;  // the words after the options, joined: "open; connect; regs"
  bool keepGoing = false;
  bool quiet = false;
  bool fast = false;   // the library's fast transfers
  bool exact = false;  // the library's exact transfers, where gdbserver would choose fast
  bool help = false;
  bool version = false;
  // `gdbserver` in place of the commands; the program's own options may follow it, and
  // its own (--listen, --client-timeout, with their values) are kept for the server.
  bool gdbServer = false;
  std::vector<std::string> serverArguments;
};

// False with the reason in *error for an unknown option or a bad value.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// The transfer mode to set in the library (VANTREL_TRANSFER_*): --fast or --exact as
// given; otherwise fast for gdbserver, whose client relies on results, not on the
// wire's sequences, and as lpt.ini says for the command line.
int TransferModeFor(const Options& options);

void PrintUsage();

}  // namespace vantrel::cli
