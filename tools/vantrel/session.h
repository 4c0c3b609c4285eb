// One debugging session: the loaded library, what the host remembers between commands
// (symbols of the last ELF image, the software breakpoints' displaced words, the
// hardware breakpoint), and the way every command reports success and failure.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "command_line.h"
#include "flash_banks.h"
#include "image.h"
#include "library.h"
#include "software_breakpoints.h"

namespace vantrel::cli {

// A data watchpoint the host set, by the unit that holds it.
struct Watchpoint {
  uint32_t address = 0;
  uint32_t length = 0;
  int32_t access = VANTREL_WATCH_WRITE;
};

struct SessionSettings {
  std::string portName = "lpt1";  // what `open` opens when it is given no port
  bool progressBar = false;       // standard error is a terminal
};

class Session {
 public:
  Session(const client::Library& library, SessionSettings settings);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs one command given as words; false when it failed, its message printed.
  bool Execute(const Words& words);
  bool QuitRequested() const { return quit_; }
  void RequestQuit() { quit_ = true; }

  // --- for the commands ---
  const client::Library& library() const { return library_; }
  const SessionSettings& settings() const { return settings_; }
  SymbolTable& symbols() { return symbols_; }
  // The library picks each pattern's form; a failure is reported as this command's.
  client::SoftwareBreakpoints& softwareBreakpoints() { return softwareBreakpoints_; }
  std::optional<uint32_t>& hardwareBreakpoint() { return hardwareBreakpoint_; }
  std::map<int32_t, Watchpoint>& watchpoints() { return watchpoints_; }
  // The flash banks probed in this session.
  flash::FlashBanks& flash() { return flash_; }
  const std::string& commandName() const { return command_; }
  bool opened() const { return opened_; }
  void MarkOpened() { opened_ = true; }

  client::Answer Call(int32_t code, const JtagRequest& request) const { return library_.Call(request, code); }
  client::Answer Call(int32_t code) const { return library_.Call(client::EmptyRequest(), code); }
  // True for status 0. Otherwise prints the library's message and returns false.
  bool Check(const client::Answer& answer);
  // Prints "vantrel: COMMAND: message" on standard error; returns false.
  bool Fail(const std::string& message);
  void Warn(const std::string& message);

  // A number, or a symbol of the last ELF image with an optional +offset.
  std::optional<uint32_t> ParseAddress(const std::string& word);
  std::optional<uint32_t> ParseCount(const std::string& word, const char* what);
  // "0x0000812c  checksum+0x4", or the bare number when no symbol covers it.
  std::string Describe(uint32_t address) const;

 private:
  const client::Library& library_;
  SessionSettings settings_;
  SymbolTable symbols_;
  client::SoftwareBreakpoints softwareBreakpoints_;
  std::optional<uint32_t> hardwareBreakpoint_;
  std::map<int32_t, Watchpoint> watchpoints_;
  flash::FlashBanks flash_;
  std::string command_;  // the command running, for messages
  bool opened_ = false;
  bool quit_ = false;
};

}  // namespace vantrel::cli
