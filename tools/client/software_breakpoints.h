// The software breakpoints a host has planted. The library keeps no list of them: the
// host remembers what each pattern displaced and writes it back to take it out. A
// breakpoint may be lifted (out of memory, still remembered) for a run that starts on
// it, and put back at the next halt.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library.h"

namespace vantrel::client {

// Who writes the pattern, and how much of it.
enum class PatternSize {
  // The library's software breakpoint command: the ARM or Thumb form by the state the core
  // last halted in; the whole containing word is displaced.
  kLibraryChosen = 0,
  kThumb = 2,  // the host writes a halfword of pattern
  kArm = 4,    // the host writes a word of pattern
};

// Told of every failure, with the library's message or the host's own.
using BreakpointFailureSink = std::function<void(const std::string& message)>;

struct SoftwareBreakpoint {
  PatternSize size = PatternSize::kLibraryChosen;
  uint32_t displacedAt = 0;              // where the displaced bytes start
  std::vector<unsigned char> displaced;  // what the pattern replaced: the program
  bool inMemory = false;                 // false: lifted for a run
};

class SoftwareBreakpoints {
 public:
  explicit SoftwareBreakpoints(const Library& library, BreakpointFailureSink failed = {})
      : library_(library), failed_(std::move(failed)) {}

  // A new breakpoint, into memory. patternNotKept, when given, tells whether the library
  // refused it because the memory (ROM, unmapped) did not keep the pattern.
  bool Plant(uint32_t address, PatternSize size, bool* patternNotKept = nullptr);
  // Out of memory (unless lifted already) and forgotten; kept when memory refused.
  bool Remove(uint32_t address);
  // Out of memory for a run that starts on it; true when there is none to lift.
  bool Lift(uint32_t address);
  void PutBackLifted();
  // After a download over [address, address + length): the patterns there were
  // overwritten, so they are planted again over the new program; one that cannot be is
  // forgotten, since its displaced bytes are no longer the program's.
  void ReplantWithin(uint32_t address, size_t length);
  // Every pattern out of memory as far as the target lets it, and all forgotten.
  void TakeAllOut();
  void Forget() { planted_.clear(); }

  // Puts back into bytes, read from address, the program under the patterns in memory.
  void ShowProgram(uint32_t address, std::vector<unsigned char>* bytes) const;
  // A write of new program bytes at address: what to store so that the host-sized
  // patterns in memory there stay planted. Then, once stored, ProgramWritten makes the
  // new bytes the program they displace, so reads show them and taking a breakpoint
  // out puts them back. (A pattern of the library's choice covers bytes the host cannot
  // tell: the write goes over it, and only the displaced bytes follow.)
  std::vector<unsigned char> KeepingPatterns(uint32_t address, const std::vector<unsigned char>& program) const;
  void ProgramWritten(uint32_t address, const std::vector<unsigned char>& program);

  bool Contains(uint32_t address) const { return planted_.count(address) != 0; }
  bool InMemory(uint32_t address) const;
  bool Empty() const { return planted_.empty(); }
  const std::map<uint32_t, SoftwareBreakpoint>& All() const { return planted_; }

 private:
  bool PutInMemory(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept);
  bool TakeOutOfMemory(uint32_t address, SoftwareBreakpoint* breakpoint);
  bool PlantByLibrary(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept);
  bool ClearByLibrary(uint32_t address, const SoftwareBreakpoint& breakpoint);
  bool WritePattern(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept);
  bool ReadBytes(uint32_t address, size_t length, std::vector<unsigned char>* bytes);
  bool WriteBytes(uint32_t address, const std::vector<unsigned char>& bytes);
  bool Failed(const std::string& message) const;
  bool Failed(const Answer& answer) const { return Failed(answer.Reason()); }

  const Library& library_;
  BreakpointFailureSink failed_;
  std::map<uint32_t, SoftwareBreakpoint> planted_;
};

// The library's software breakpoint at address, in the form of the state the core last
// halted in; the answer's data is the displaced word.
Answer SetSoftwareBreak(const Library& library, uint32_t address);

// The one hardware breakpoint; the answers of the library's commands.
Answer SetHardwareBreak(const Library& library, uint32_t address);
Answer ClearHardwareBreak(const Library& library);

}  // namespace vantrel::client
