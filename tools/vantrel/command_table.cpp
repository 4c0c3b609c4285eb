// The table of commands, their usage and one-line help, and the argument helpers.
#include <algorithm>
#include <cstdio>

#include "commands.h"
#include "session.h"

namespace vantrel::cli {

Arguments::Arguments(const Words& words) : words_(words) {}

bool Arguments::Flag(const std::string& name) {
  const auto found = std::find(words_.begin(), words_.end(), name);
  if (found == words_.end()) return false;
  words_.erase(found);
  return true;
}

std::optional<std::string> Arguments::Option(const std::string& name, bool* missing) {
  const auto found = std::find(words_.begin(), words_.end(), name);
  if (found == words_.end()) return std::nullopt;
  if (found + 1 == words_.end()) {
    *missing = true;
    words_.erase(found);
    return std::nullopt;
  }
  std::string value = *(found + 1);
  words_.erase(found, found + 2);
  return value;
}

std::string Arguments::UnknownOption() const {
  for (const std::string& word : words_) {
    if (word.size() > 2 && word.compare(0, 2, "--") == 0) return word;
  }
  return "";
}

const std::vector<CommandInfo>& CommandTable() {
  static const std::vector<CommandInfo> table = {
      {"version", "", "name and version of the library", RunVersion},
      {"open", "[lpt1|lpt2|lpt3]", "open the cable (default: the port chosen when the host started)", RunOpen},
      {"connect", "[--big-endian]", "reset the target, check its IDCODE and halt the core at address 0", RunConnect},
      {"disconnect", "", "restart the core from address 0 and release the cable", RunDisconnect},
      {"reconnect", "", "disconnect and connect again, keeping the memory regions", RunReconnect},
      {"run", "", "let the core run from the saved PC", RunRun},
      {"stop", "", "halt the core and show where it stopped", RunStop},
      {"wait", "[SECONDS]", "wait until the core halts by itself at a breakpoint, then stop as `stop` does", RunWait},
      {"status", "", "target state and core state", RunStatus},
      {"power", "", "the cable's two power-sense lines", RunPower},
      {"regs", "[cur|usr|fiq|irq|svc|abt|und]", "registers of the current mode, or the banked ones of a mode", RunRegs},
      {"reg", "NAME [VALUE]", "read or write one register by name (r0-r15, sp, lr, pc, cpsr, spsr, r13_svc, ...)",
       RunReg},
      {"read", "ADDRESS LENGTH [--out FILE]", "dump memory in hex and ASCII, or save it to FILE", RunRead},
      {"write", "ADDRESS (BYTES | --file FILE) [--verify]", "write hex bytes (\"de ad be ef\") or a file's bytes",
       RunWrite},
      {"load", "FILE [--verify] [--entry ADDRESS] [--at ADDRESS]",
       "download an ELF, Intel HEX or (with --at) raw image and set the PC to its entry", RunLoad},
      {"break", "ADDRESS|SYMBOL [--hw]", "set a software breakpoint, or with --hw the one hardware breakpoint",
       RunBreak},
      {"delete", "ADDRESS|SYMBOL|--hw|--all", "clear a software breakpoint, the hardware one, or all", RunDelete},
      {"breaks", "", "list the breakpoints", RunBreaks},
      {"watch", "[ADDRESS|SYMBOL [LENGTH] [r|w|a]]",
       "stop after a read, write (default) or any access of LENGTH bytes (1, 2, 4 or a power of two); "
       "alone: list the watchpoints",
       RunWatch},
      {"unwatch", "ADDRESS|SYMBOL|--all", "remove a data watchpoint, or all", RunUnwatch},
      {"flash", "probe ADDRESS | info | erase ADDRESS LENGTH | erase all | write FILE [--at ADDRESS]",
       "CFI flash: find a chip, list the banks, erase sectors, or erase, program and verify an image", RunFlash},
      {"region", "add START LENGTH ro|wo|rw", "declare a read-only, write-only or read-write memory region", RunRegion},
      {"regions", "", "list the declared memory regions", RunRegions},
      {"ice", "", "the EmbeddedICE registers", RunIce},
      {"help", "[COMMAND]", "list the commands, or show one command's usage", RunHelp},
      {"quit", "", "end the session (also: exit)", RunQuit},
  };
  return table;
}

const CommandInfo* FindCommand(const std::string& name) {
  const std::string wanted = name == "exit" ? "quit" : name;
  for (const CommandInfo& command : CommandTable()) {
    if (wanted == command.name) return &command;
  }
  return nullptr;
}

bool ExpectPositional(Session& session, const Arguments& arguments, size_t least, size_t most) {
  const std::string unknown = arguments.UnknownOption();
  const size_t count = arguments.Positional().size();
  if (unknown.empty() && count >= least && count <= most) return true;
  const CommandInfo* command = FindCommand(session.commandName());
  const std::string usage = std::string("usage: ") + command->name + (*command->usage ? " " : "") + command->usage;
  return session.Fail((unknown.empty() ? "" : "unknown option " + unknown + "; ") + usage);
}

bool RunHelp(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 1)) return false;
  if (arguments.Positional().empty()) {
    for (const CommandInfo& command : CommandTable()) std::printf("%-11s %s\n", command.name, command.summary);
    std::printf(
        "Numbers are decimal or 0x hex; addresses may be symbols of the loaded ELF image (main, main+0x10).\n"
        "Separate commands with ';'. Ctrl-C stops a transfer, or the core during wait.\n");
    return true;
  }
  const CommandInfo* command = FindCommand(arguments.Positional()[0]);
  if (command == nullptr) return session.Fail("no command '" + arguments.Positional()[0] + "'");
  std::printf("usage: %s %s\n  %s\n", command->name, command->usage, command->summary);
  return true;
}

bool RunQuit(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  session.RequestQuit();
  return true;
}

}  // namespace vantrel::cli
