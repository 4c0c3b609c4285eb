// The host's commands: the table with usage and help, and the handlers, grouped by
// what they drive (connection, registers, memory, breakpoints).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

namespace vantrel::cli {

class Session;

// The words after the command name, with --flags and --option VALUE taken out.
class Arguments {
 public:
  explicit Arguments(const Words& words);
  bool Flag(const std::string& name);
  // The word after --name; *missing set when --name is the last word.
  std::optional<std::string> Option(const std::string& name, bool* missing);
  const Words& Positional() const { return words_; }
  // The first word left that looks like an option, or empty.
  std::string UnknownOption() const;

 private:
  Words words_;
};

using CommandHandler = bool (*)(Session&, Arguments&);

struct CommandInfo {
  const char* name;
  const char* usage;  // the words after the name
  const char* summary;
  CommandHandler handler;
};

const std::vector<CommandInfo>& CommandTable();
const CommandInfo* FindCommand(const std::string& name);

// Checks what is left after the handler took its flags: no unknown option and between
// least and most positional words. Prints the usage otherwise.
bool ExpectPositional(Session& session, const Arguments& arguments, size_t least, size_t most);

bool RunHelp(Session&, Arguments&);
bool RunQuit(Session&, Arguments&);
bool RunVersion(Session&, Arguments&);
bool RunOpen(Session&, Arguments&);
bool RunConnect(Session&, Arguments&);
bool RunDisconnect(Session&, Arguments&);
bool RunReconnect(Session&, Arguments&);
bool RunRun(Session&, Arguments&);
bool RunStop(Session&, Arguments&);
bool RunWait(Session&, Arguments&);
bool RunStatus(Session&, Arguments&);
bool RunPower(Session&, Arguments&);
bool RunIce(Session&, Arguments&);
bool RunRegs(Session&, Arguments&);
bool RunReg(Session&, Arguments&);
bool RunRead(Session&, Arguments&);
bool RunWrite(Session&, Arguments&);
bool RunLoad(Session&, Arguments&);
bool RunRegion(Session&, Arguments&);
bool RunFlash(Session&, Arguments&);
bool RunRegions(Session&, Arguments&);
bool RunBreak(Session&, Arguments&);
bool RunDelete(Session&, Arguments&);
bool RunBreaks(Session&, Arguments&);
bool RunWatch(Session&, Arguments&);
bool RunUnwatch(Session&, Arguments&);

}  // namespace vantrel::cli
