#include "options.h"

#include <cstdio>
#include <cstring>

#include "numbers.h"
#include "vantrel.h"

namespace vantrel::cli {

namespace {

bool TakeBoardOption(const std::string& name, const std::string& value, Options* options, std::string* error) {
  if (name == "--board-memory") return ParseBoardMemory(value, &options->board.regions, error);
  if (name == "--board-endian") {
    if (value != "big" && value != "little") *error = "--board-endian is big or little";
    options->board.bigEndian = value == "big";
    return error->empty();
  }
  if (name == "--board-timer") {
    options->board.timer = value;
    return true;
  }
  const auto idcode = ParseNumber(value);
  if (!idcode) *error = "--board-idcode needs a number";
  options->board.idcode = idcode;
  return error->empty();
}

// The server's own, after `gdbserver`; it checks their values.
bool IsServerOption(const std::string& name) {
  return name == "--listen" || name == "--client-timeout" || name == "--semihosting-dir" || name == "--flash";
}
bool IsServerSwitch(const std::string& name) { return name == "--semihosting"; }

bool IsValueOption(const std::string& name) {
  return name == "--library" || name == "--port" || name == "--remote-bitbang" || name == "-f" ||
         name == "--board-memory" || name == "--board-endian" || name == "--board-idcode" || name == "--board-timer";
}

bool TakeValueOption(const std::string& name, const std::string& value, Options* options, std::string* error) {
  if (name == "--library") options->libraryPath = value;
  else if (name == "-f") options->scriptPath = value;
  else if (name == "--remote-bitbang") options->remoteBitbang = value;
  else if (name == "--port") {
    if (value != "lpt1" && value != "lpt2" && value != "lpt3") *error = "--port is lpt1, lpt2 or lpt3";
    options->port = value;
  } else {
    return TakeBoardOption(name, value, options, error);
  }
  return error->empty();
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--" && !options->gdbServer) {
      ++i;
      break;
    }
    if (word == "gdbserver" && !options->gdbServer) {
      options->gdbServer = true;
      continue;
    }
    if (options->gdbServer && IsServerSwitch(word)) {
      options->serverArguments.push_back(word);
      continue;
    }
    if (options->gdbServer && IsServerOption(word)) {
      options->serverArguments.push_back(word);
      if (i + 1 < argc) options->serverArguments.emplace_back(argv[++i]);
      continue;
    }
    if (word.empty() || word[0] != '-') {
      if (!options->gdbServer) break;
      *error = "gdbserver takes options only, not " + word;
      return false;
    }
    if (word == "--keep-going") options->keepGoing = true;
    else if (word == "--quiet" || word == "-q") options->quiet = true;
    else if (word == "--fast") options->fast = true;
    else if (word == "--exact") options->exact = true;
    else if (word == "--help" || word == "-h") options->help = true;
    else if (word == "--version") options->version = true;
    else if (IsValueOption(word)) {
      if (i + 1 >= argc) {
        *error = word + " needs a value";
        return false;
      }
      if (!TakeValueOption(word, argv[++i], options, error)) return false;
    } else {
      *error = "unknown option " + word;
      return false;
    }
  }
  // The words are joined and split again, so "open; connect" in one word and
  // open\; connect in two mean the same; quotes inside keep a file name with blanks.
  for (; i < argc; ++i) {
    if (!options->commands.empty()) options->commands += ' ';
    options->commands += argv[i];
  }
  const BoardSpec& board = options->board;
  const bool boardDescribed = !board.regions.empty() || board.bigEndian || board.idcode || !board.timer.empty();
  if ((options->port || options->remoteBitbang) && boardDescribed) {
    *error = "--board-* options describe the simulated board; they do not go with --port or --remote-bitbang";
    return false;
  }
  if (options->fast && options->exact) {
    *error = "--fast and --exact each choose the transfers; give one";
    return false;
  }
  if (options->port && options->remoteBitbang) {
    *error = "--port and --remote-bitbang each name the cable; give one";
    return false;
  }
  return true;
}

int TransferModeFor(const Options& options) {
  if (options.fast) return VANTREL_TRANSFER_FAST;
  if (options.exact) return VANTREL_TRANSFER_EXACT;
  return options.gdbServer ? VANTREL_TRANSFER_FAST : VANTREL_TRANSFER_AS_CONFIGURED;
}

void PrintUsage() {
  std::printf(
      "usage: vantrel [OPTIONS] [COMMAND [ARGS]] [; COMMAND ...]\n"
      "       vantrel [OPTIONS] gdbserver [OPTIONS]\n"
      "\n"
      "Runs a debugging session on an ARM7TDMI target through the Vantrel library:\n"
      "the commands given, then those of -f FILE; with neither, a prompt when standard\n"
      "input is a terminal, or the commands read from standard input. gdbserver serves\n"
      "GDB's remote protocol (default 127.0.0.1:3333): target extended-remote :3333.\n"
      "\n"
      "  --listen [HOST:]PORT   gdbserver: the address to serve; any but a loopback one\n"
      "                         gives the target to whoever can reach the port\n"
      "  --client-timeout SECONDS  gdbserver: drop a client that sends no packet (or\n"
      "                         takes no reply) for this long after connecting (30)\n"
      "  --semihosting          gdbserver: serve the program's semihosting calls (its\n"
      "                         console, the time) from the start\n"
      "  --semihosting-dir DIR  gdbserver: semihosting file operations, confined to DIR\n"
      "  --flash cfi@ADDRESS    gdbserver: probe the CFI flash chip at ADDRESS when a\n"
      "                         client attaches, and serve GDB's flash packets for it\n"
      "  --port lpt1|lpt2|lpt3  a real cable on this parallel port (IN and OUT as root,\n"
      "                         else /dev/parport0..2 for a user in the group lp)\n"
      "                         without it: the simulated board, attached on lpt1\n"
      "  --remote-bitbang HOST:PORT  the cable behind a remote_bitbang server (such as\n"
      "                         vantrel-board --listen PORT), attached on lpt1\n"
      "  --board-memory SPEC    the simulated board's memory, e.g. ram@0:256K,rom@0x80000:64K\n"
      "                         (kinds: ram, rom, abort, flash; flash@BASE:SIZE[:KIND]\n"
      "                         is a CFI chip, KIND amd16 (default) or intel16)\n"
      "  --board-endian big|little\n"
      "  --board-idcode NUMBER  the IDCODE the simulated board's TAP answers\n"
      "  --board-timer PERIOD[:irq|fiq]  a timer interrupt every PERIOD instructions,\n"
      "                         acknowledged by a write to 0xE0000000\n"
      "  --library PATH         the library to load (default: libVantrel.so beside vantrel,\n"
      "                         else the one installed with it)\n"
      "  -f FILE                run the commands of FILE ('#' starts a comment)\n"
      "  --keep-going           go on after a failed command (the exit status is still 1)\n"
      "  -q, --quiet            do not echo script commands\n"
      "  --fast                 fast memory transfers (as transfer=fast in lpt.ini); the\n"
      "                         results are the same, the cable traffic is less;\n"
      "                         gdbserver's default\n"
      "  --exact                the exact transfers of lpt.ini's default, for gdbserver too\n"
      "  --version              print the version of vantrel and exit\n"
      "\n"
      "Exit status: 0 when every command succeeded, 1 when one failed, 2 for a usage error\n"
      "or when the library or board cannot be set up. Type `help` for the commands.\n");
}

}  // namespace vantrel::cli
