// vantrel: a command-line host for the Vantrel library. It loads the library with
// dlopen and drives it only through its exports, as a debugger front end does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <vector>

#include "board_attachment.h"
#include "gdb_server.h"
#include "interrupt.h"
#include "library.h"
#include "options.h"
#include "progress_bar.h"
#include "raised_privilege.h"
#include "runner.h"
#include "session.h"
#include "vantrel_version.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitSetup = 2;

int RunSession(const vantrel::client::Library& library, const vantrel::cli::Options& options) {
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

// With raised privilege only the library installed beside vantrel, in folders the user
// cannot change, is loaded: a library of the user's choice would run with the privilege.
bool LoadTrustedLibrary(vantrel::client::Library& library, const std::string& libraryPath) {
  using namespace vantrel::cli;
  if (!libraryPath.empty() && vantrel::client::RunningWithRaisedPrivilege()) {
    std::fprintf(stderr,
                 "vantrel: --library is refused, since vantrel runs with raised privilege (setuid, setgid or file "
                 "capabilities); give the user the port device instead (see the README: ppdev and the group lp)\n");
    return false;
  }
  const std::string path = libraryPath.empty() ? vantrel::client::DefaultLibraryPath() : libraryPath;
  if (const std::string refusal = vantrel::client::LibraryRefusal(path); !refusal.empty()) {
    std::fprintf(stderr, "vantrel: %s\n", refusal.c_str());
    return false;
  }
  if (library.Load(path)) return true;
  std::fprintf(stderr, "vantrel: %s\n", library.Error().c_str());
  return false;
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
  std::optional<vantrel::gdb::ServerSettings> server;
  if (options.gdbServer && !(server = vantrel::gdb::ParseServerArguments(options.serverArguments, &error))) {
    std::fprintf(stderr, "vantrel: %s\n", error.c_str());
    return kExitSetup;
  }
  // Declared before the library: the library's unload still touches the port, so the
  // board must outlive it.
  std::unique_ptr<AttachedBoard> board;
  vantrel::client::Library library;
  if (!LoadTrustedLibrary(library, options.libraryPath)) return kExitSetup;
  if (const int mode = TransferModeFor(options); mode != VANTREL_TRANSFER_AS_CONFIGURED) library.SetTransferMode(mode);
  // A refused instance would answer every command with the same message; say it once.
  const vantrel::client::Answer name = library.Call(vantrel::client::EmptyRequest(), VANTREL_CMD_GET_NAME);
  if (name.status == VANTREL_STATUS_OTHER_INSTANCE) {
    std::fprintf(stderr, "vantrel: %s\n", name.text.c_str());
    return kExitSetup;
  }
  if (options.port) {
    std::fprintf(stderr, "vantrel: real cable on %s (PC parallel port)\n", options.port->c_str());
    library.SetTraceSink(&PrintPortTrace, nullptr);
  } else if (options.remoteBitbang) {
    board = AttachRemoteBitbang(library, *options.remoteBitbang, &error);
    if (!board) {
      std::fprintf(stderr, "vantrel: %s\n", error.c_str());
      return kExitSetup;
    }
    std::fprintf(stderr, "vantrel: %s on lpt1\n", board->Description().c_str());
  } else {
    board = AttachSimulatedBoard(library, options.board, &error);
    if (!board) {
      std::fprintf(stderr, "vantrel: %s\n", error.c_str());
      return kExitSetup;
    }
    std::fprintf(stderr, "vantrel: simulated board on lpt1: %s (--port lpt1 for a real cable)\n",
                 board->Description().c_str());
  }
  if (server && board && board->PortAccesses()) {
    server->boardPortAccesses = [&board] { return board->PortAccesses().value_or(0); };
  }
  if (server) return vantrel::gdb::RunGdbServer(library, options.port.value_or("lpt1"), *server);
  try {
    return RunSession(library, options);
  } catch (const std::exception& exception) {
    // Commands catch their own; this is what is left (reading a script, the prompt).
    std::fprintf(stderr, "vantrel: internal error: %s\n", exception.what());
    return kExitFailed;
  }
}
