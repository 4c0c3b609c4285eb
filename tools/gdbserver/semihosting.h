// Semihosting: a program on the target asks the host for console output, input, the
// time and, where the user allows it, files, through a software interrupt the server
// catches. This is the host's side of one call: r0 names the operation, r1 points to
// its parameter block in target memory (or is the parameter), and the result goes back
// in r0. Target memory is reached only through the accessors given, and every length
// the program passes is bounded, so a wrong block gives an error result, never a fault.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "semihosting_files.h"

namespace vantrel::gdb {

// The target's memory, as the call's buffers are read and written.
struct TargetMemoryAccess {
  std::function<bool(uint32_t address, size_t length, std::vector<unsigned char>* bytes)> read;
  std::function<bool(uint32_t address, const std::vector<unsigned char>& bytes)> write;
};

// Where the program's console goes: its output, and one character of input (empty at
// the end of input or when the wait for it was given up).
struct SemihostingConsole {
  std::function<void(std::string_view text)> write;
  std::function<std::optional<unsigned char>()> readCharacter;
};

struct SemihostingResult {
  uint32_t r0 = 0;
  std::optional<int> exitCode;  // the program ended (SYS_EXIT): the core is not resumed
};

class Semihosting {
 public:
  Semihosting() : started_(std::chrono::steady_clock::now()) {}

  bool Enabled() const { return enabled_; }
  void Enable(bool on) { enabled_ = on; }
  // The directory file operations are confined to; without one they are refused.
  bool SetDirectory(const std::string& path, std::string* error) { return files_.SetDirectory(path, error); }
  bool FilesAllowed() const { return files_.HasDirectory(); }
  // The program starts again (a reset): its files are closed.
  void Restart() { files_.CloseAll(); }
  // Calls are served with no GDB attached (after a detach), the catch left planted.
  bool ServingDetached() const { return servingDetached_; }
  void SetServingDetached(bool on) { servingDetached_ = on; }

  SemihostingResult Serve(uint32_t operation, uint32_t parameter, const TargetMemoryAccess& memory,
                          const SemihostingConsole& console);

 private:
  struct Call {
    uint32_t parameter;
    const TargetMemoryAccess& memory;
    const SemihostingConsole& console;
  };
  // The words of the parameter block; empty (errno set) when it cannot be read.
  std::optional<std::vector<uint32_t>> Block(const Call& call, size_t words);
  std::optional<std::string> Name(const Call& call, uint32_t address, uint32_t length);
  uint32_t WriteCharacter(const Call& call);
  uint32_t WriteString(const Call& call);
  uint32_t Write(const Call& call);
  uint32_t Read(const Call& call);
  uint32_t ReadCharacter(const Call& call);
  uint32_t Open(const Call& call);
  uint32_t OnHandle(const Call& call, uint32_t operation);
  uint32_t Remove(const Call& call);
  uint32_t Clock() const;
  SemihostingResult Exit(const Call& call, bool extended);
  uint32_t Fail(int error);

  bool enabled_ = false;
  bool servingDetached_ = false;
  ConfinedFiles files_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace vantrel::gdb
