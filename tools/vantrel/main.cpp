// vantrel: a command-line host for the Vantrel library. It loads the library with
// dlopen and drives it only through its exports, as a debugger front end does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "board_attachment.h"
#include "gdb_server.h"
#include "interrupt.h"
#include "library.h"
#include "options.h"
#include "progress_bar.h"
#include "runner.h"
#include "session.h"
#include "vantrel_version.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitSetup = 2;

int RunSession(const vantrel::cli::Library& library, const vantrel::cli::Options& options) {
  using namespace vantrel::cli;
  SessionSettings settings;
  settings.portName = options.port.value_or("lpt1");
  settings.progressBar = StderrIsTerminal();
  Session session(library, settings);
  const bool interactive = options.commands.empty() && options.scriptPath.empty() && isatty(STDIN_FILENO) == 1;
  Runner runner(session, options.keepGoing || interactive, !options.quiet && !interactive);
  CatchInterrupts(library.BreakEntry());
  if (!options.commands.empty()) runner.RunLine(options.commands, "command line");
  if (!options.scriptPath.empty() && !runner.Stopped()) runner.RunFile(options.scriptPath);
  if (options.commands.empty() && options.scriptPath.empty()) {
    if (interactive) RunPrompt(runner, session);
    else runner.RunStream(std::cin, "stdin");
  }
  std::fflush(stdout);
  return runner.AnyFailed() && !interactive ? kExitFailed : 0;
}

// The library's trace lines about the ports (the way it reached one, why it could not,
// what it made of lpt.ini) all begin with "lpt"; they are for the user of a real cable.
void PrintPortTrace(void*, const char* line) {
  if (std::strncmp(line, "lpt", 3) == 0) std::fprintf(stderr, "vantrel: %s", line);
}

// `gdbserver [--listen [HOST:]PORT] [--flash cfi@ADDRESS]` in place of the session's commands; empty when the
// commands are a session's.
std::optional<std::vector<std::string>> GdbServerArguments(const std::string& commands) {
  std::istringstream words(commands);
  std::vector<std::string> arguments;
  for (std::string word; words >> word;) arguments.push_back(word);
  if (arguments.empty() || arguments[0] != "gdbserver") return std::nullopt;
  arguments.erase(arguments.begin());
  return arguments;
}

struct GdbServerSettings {
  vantrel::gdb::ListenAddress listen;
  std::vector<uint32_t> flash;  // --flash cfi@ADDRESS, any number
};

std::optional<GdbServerSettings> ParseGdbServerArguments(const std::vector<std::string>& arguments,
                                                         std::string* error) {
  GdbServerSettings settings;
  for (size_t i = 0; i < arguments.size(); i += 2) {
    const bool valued = i + 1 < arguments.size();
    if (valued && arguments[i] == "--listen") {
      const auto listen = vantrel::gdb::ParseListenAddress(arguments[i + 1], error);
      if (!listen) return std::nullopt;
      settings.listen = *listen;
    } else if (valued && arguments[i] == "--flash") {
      const auto bank = vantrel::gdb::ParseFlashOption(arguments[i + 1], error);
      if (!bank) return std::nullopt;
      settings.flash.push_back(*bank);
    } else {
      *error = "usage: vantrel [OPTIONS] gdbserver [--listen [HOST:]PORT] [--flash cfi@ADDRESS]";
      return std::nullopt;
    }
  }
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel::cli;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "vantrel: %s (try --help)\n", error.c_str());
    return kExitSetup;
  }
  if (options.help) {
    PrintUsage();
    return 0;
  }
  if (options.version) {
    std::printf("vantrel %s\n", VANTREL_VERSION_STRING);
    return 0;
  }
  const auto gdbServer = GdbServerArguments(options.commands);
  std::optional<GdbServerSettings> listen;
  if (gdbServer && !(listen = ParseGdbServerArguments(*gdbServer, &error))) {
    std::fprintf(stderr, "vantrel: %s\n", error.c_str());
    return kExitSetup;
  }
  // Declared before the library: the library's unload still touches the port, so the
  // board must outlive it.
  std::unique_ptr<AttachedBoard> board;
  Library library;
  if (!library.Load(options.libraryPath.empty() ? DefaultLibraryPath() : options.libraryPath)) {
    std::fprintf(stderr, "vantrel: %s\n", library.Error().c_str());
    return kExitSetup;
  }
  if (options.fast) library.SetTransferMode(VANTREL_TRANSFER_FAST);
  // A refused instance would answer every command with the same message; say it once.
  const Answer name = library.Call(EmptyRequest(), VANTREL_CMD_GET_NAME);
  if (name.status == VANTREL_STATUS_OTHER_INSTANCE) {
    std::fprintf(stderr, "vantrel: %s\n", name.text.c_str());
    return kExitSetup;
  }
  if (options.port) {
    std::fprintf(stderr, "vantrel: real cable on %s (PC parallel port)\n", options.port->c_str());
    library.SetTraceSink(&PrintPortTrace, nullptr);
  } else {
    board = AttachSimulatedBoard(library, options.board, &error);
    if (!board) {
      std::fprintf(stderr, "vantrel: %s\n", error.c_str());
      return kExitSetup;
    }
    std::fprintf(stderr, "vantrel: simulated board on lpt1: %s (--port lpt1 for a real cable)\n",
                 board->Description().c_str());
  }
  if (listen) return vantrel::gdb::RunGdbServer(library, options.port.value_or("lpt1"), listen->listen, listen->flash);
  try {
    return RunSession(library, options);
  } catch (const std::exception& exception) {
    // Commands catch their own; this is what is left (reading a script, the prompt).
    std::fprintf(stderr, "vantrel: internal error: %s\n", exception.what());
    return kExitFailed;
  }
}
