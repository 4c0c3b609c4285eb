// Where commands come from: the command line, a script file, standard input, or the
// interactive prompt. All of them feed one session.
#pragma once

#include <istream>
#include <string>

#include "session.h"

namespace vantrel::cli {

// A script is read whole before it runs; none is nearly this long.
inline constexpr size_t kMaxScriptBytes = 16u << 20;

class Runner {
 public:
  Runner(Session& session, bool keepGoing, bool echo) : session_(session), keepGoing_(keepGoing), echo_(echo) {}

  // Runs the commands of one line. False when the session should end: a command failed
  // without --keep-going, quit was given, or Ctrl-C arrived between commands.
  bool RunLine(const std::string& line, const std::string& where);
  // Every line of a script ('#' comments, blank lines ignored).
  void RunStream(std::istream& in, const std::string& name);
  void RunFile(const std::string& path);

  bool AnyFailed() const { return failed_; }
  bool Stopped() const { return stopped_; }
  void SetEcho(bool echo) { echo_ = echo; }
  void SetKeepGoing(bool keepGoing) { keepGoing_ = keepGoing; }
  // At the prompt a failure or Ctrl-C ends one line, not the session.
  void Resume() { stopped_ = false; }

 private:
  Session& session_;
  bool keepGoing_;
  bool echo_;
  bool failed_ = false;
  bool stopped_ = false;
};

// The prompt with line editing and history; returns when the user quits or ends input.
void RunPrompt(Runner& runner, Session& session);

}  // namespace vantrel::cli
