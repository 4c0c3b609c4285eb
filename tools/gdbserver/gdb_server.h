// `vantrel gdbserver`: GDB's remote serial protocol on a TCP port, one client after
// another, each driving the target through the library's exports.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gdb_connection.h"
#include "gdb_flash.h"
#include "gdb_target.h"
#include "library.h"
#include "semihosting_stop.h"

namespace vantrel::gdb {

struct ListenAddress {
  std::string host = "127.0.0.1";
  uint16_t port = 3333;
};

struct ServerSettings {
  ListenAddress listen;
  // A client that sends no packet for this long after connecting, leaves a packet
  // unfinished or takes no reply for this long is dropped.
  int clientTimeoutMs = kDefaultClientTimeoutMs;
  bool semihosting = false;
  std::string semihostingDirectory;  // empty: no file operations
  // The simulated board's port accesses so far (`monitor board`); empty with a real cable.
  std::function<uint64_t()> boardPortAccesses;
  std::vector<uint32_t> flashBanks;  // --flash cfi@ADDRESS: the CFI chips probed when a client attaches
};

// "[HOST:]PORT"; empty with *error for anything else.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string* error);
// The words after `gdbserver`; empty with *error (the usage) for anything else.
std::optional<ServerSettings> ParseServerArguments(const std::vector<std::string>& arguments, std::string* error);

// Serves clients until the process ends; returns only when the socket can't be set up.
int RunGdbServer(const client::Library& library, const std::string& portName, const ServerSettings& settings);

// One client's session, from its first packet to its detach or disappearance.
class GdbSession {
 public:
  GdbSession(GdbConnection& connection, GdbTarget& target, const ServerSettings& settings, Semihosting& semihosting,
             GdbFlash* flash = nullptr)
      : connection_(connection), target_(target), settings_(settings), flash_(flash), semihosting_(semihosting) {}
  // Serves the client; leaves the target known: breakpoints out, the core as the
  // client left it (running after a detach; halted after a disconnect or kill).
  void Serve();

 private:
  // Answers one packet; false once the session is over.
  bool Handle(const std::string& packet);
  std::string StopReply(int signal);
  std::string TrapReply();
  std::string ReadRegisters();
  std::string WriteRegisters(const std::string& hex);
  std::string ReadOneRegister(const std::string& args);
  std::string WriteOneRegister(const std::string& args);
  std::string ReadMemory(const std::string& args);
  std::string WriteMemory(const std::string& args, bool binary);
  std::string Breakpoint(const std::string& packet);
  std::string Query(const std::string& packet);
  std::string Features(const std::string& args);
  std::string VerbosePacket(const std::string& packet);
  std::string Resume(bool step);
  std::string RangeStep(const std::string& args);
  std::string RunUntilHalt();
  std::string ResumeFailed();
  std::string Restart();
  std::string Monitor(const std::string& hexCommand);
  std::string MonitorReset(const std::vector<std::string>& words);
  std::string MonitorBoard() const;
  std::string MonitorRegister(const std::vector<std::string>& words);
  std::string MonitorRegisterList();
  std::string FlashPacket(const std::string& packet);
  // qXfer:memory-map:read's "OFFSET,LENGTH"; the reply.
  std::string MemoryMap(const std::string& range);
  bool ClientInterrupted();
  // Semihosting (semihosting_stop.cpp). After a halt while GDB waits for one: the reply,
  // or empty when a semihosting call was served and the core runs on.
  std::optional<std::string> AfterHalt(bool stepping);
  void CatchSwiVector();
  // GDB detached: with semihosting on, the program runs on with its calls served.
  void DetachKeepingSwiCatch();
  // True when GDB's removal of a breakpoint there must leave the SWI catch in place.
  bool KeepsSwiCatch(bool insert, uint32_t address);
  void ConsoleWrite(std::string_view text);
  std::optional<unsigned char> ConsoleReadCharacter();
  std::string MonitorSemihosting(const std::vector<std::string>& words);

  GdbConnection& connection_;
  GdbTarget& target_;
  const ServerSettings& settings_;
  GdbFlash* flash_;
  bool noAckRequested_ = false;
  bool over_ = false;
  int lastSignal_ = 5;
  Semihosting& semihosting_;
  bool userBreakAtVector_ = false;  // GDB has a breakpoint of its own on the SWI vector
  bool catchRefusalTold_ = false;
  bool inputInterrupted_ = false;
  std::optional<std::string> exited_;  // the W reply once the program has ended
};

}  // namespace vantrel::gdb
