#include "software_breakpoints.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "memory_calls.h"

namespace vantrel::client {

namespace {

constexpr unsigned char kPatternByte = 0xBE;
constexpr uint32_t kWordBytes = 4;
// The library's answer when memory (ROM, unmapped, aborting) did not keep the pattern.
constexpr std::string_view kPatternNotKept = "software breakpoint not set:";

uint32_t ContainingWord(uint32_t address) { return address & ~(kWordBytes - 1); }

bool Inside(uint32_t address, uint32_t start, size_t length) { return address >= start && address - start < length; }

std::string NotKeptMessage(uint32_t address) {
  char message[96];
  std::snprintf(message, sizeof message, "the memory at 0x%08x does not keep the breakpoint pattern", address);
  return message;
}

// Calls visit(index in the displaced bytes, offset in the range) for each byte the
// breakpoint displaced within [address, address + length).
template <typename Visit>
void ForEachDisplacedByteIn(const SoftwareBreakpoint& breakpoint, uint32_t address, size_t length, Visit visit) {
  for (size_t i = 0; i < breakpoint.displaced.size(); ++i) {
    const uint64_t byte = static_cast<uint64_t>(breakpoint.displacedAt) + i;
    if (byte >= address && byte - address < length) visit(i, static_cast<size_t>(byte - address));
  }
}

}  // namespace

bool SoftwareBreakpoints::Failed(const std::string& message) const {
  if (failed_) failed_(message);
  return false;
}

bool SoftwareBreakpoints::InMemory(uint32_t address) const {
  const auto found = planted_.find(address);
  return found != planted_.end() && found->second.inMemory;
}

bool SoftwareBreakpoints::Plant(uint32_t address, PatternSize size, bool* patternNotKept) {
  if (patternNotKept != nullptr) *patternNotKept = false;
  SoftwareBreakpoint breakpoint;
  breakpoint.size = size;
  if (!PutInMemory(address, &breakpoint, patternNotKept)) return false;
  planted_[address] = breakpoint;
  return true;
}

bool SoftwareBreakpoints::Remove(uint32_t address) {
  const auto found = planted_.find(address);
  if (found == planted_.end()) return true;
  if (!TakeOutOfMemory(address, &found->second)) return false;
  planted_.erase(found);
  return true;
}

bool SoftwareBreakpoints::Lift(uint32_t address) {
  const auto found = planted_.find(address);
  return found == planted_.end() || TakeOutOfMemory(address, &found->second);
}

void SoftwareBreakpoints::PutBackLifted() {
  for (auto& [address, breakpoint] : planted_) {
    if (breakpoint.inMemory) continue;
    // The host's own pattern goes back over the bytes it displaced before; the library
    // reads the word afresh.
    if (breakpoint.size == PatternSize::kLibraryChosen) {
      (void)PlantByLibrary(address, &breakpoint, nullptr);
    } else {
      (void)WritePattern(address, &breakpoint, nullptr);
    }
  }
}

void SoftwareBreakpoints::ReplantWithin(uint32_t address, size_t length) {
  // None of the old patterns there is in memory any longer, and none of their displaced
  // bytes is the program's: a breakpoint planted in the same word must not take them.
  for (auto& [at, breakpoint] : planted_) {
    if (Inside(at, address, length)) breakpoint.inMemory = false;
  }
  for (auto it = planted_.begin(); it != planted_.end();) {
    const bool replanted = !Inside(it->first, address, length) || PutInMemory(it->first, &it->second, nullptr);
    it = replanted ? std::next(it) : planted_.erase(it);
  }
}

void SoftwareBreakpoints::TakeAllOut() {
  for (auto& [address, breakpoint] : planted_) (void)TakeOutOfMemory(address, &breakpoint);
  planted_.clear();
}

void SoftwareBreakpoints::ShowProgram(uint32_t address, std::vector<unsigned char>* bytes) const {
  for (const auto& entry : planted_) {
    const SoftwareBreakpoint& breakpoint = entry.second;
    if (!breakpoint.inMemory) continue;
    ForEachDisplacedByteIn(breakpoint, address, bytes->size(),
                           [&](size_t i, size_t offset) { (*bytes)[offset] = breakpoint.displaced[i]; });
  }
}

std::vector<unsigned char> SoftwareBreakpoints::KeepingPatterns(uint32_t address,
                                                                const std::vector<unsigned char>& program) const {
  std::vector<unsigned char> stored = program;
  for (const auto& [at, breakpoint] : planted_) {
    if (!breakpoint.inMemory || breakpoint.size == PatternSize::kLibraryChosen) continue;
    ForEachDisplacedByteIn(breakpoint, address, stored.size(),
                           [&](size_t, size_t offset) { stored[offset] = kPatternByte; });
  }
  return stored;
}

void SoftwareBreakpoints::ProgramWritten(uint32_t address, const std::vector<unsigned char>& program) {
  for (auto& entry : planted_) {
    SoftwareBreakpoint& breakpoint = entry.second;
    ForEachDisplacedByteIn(breakpoint, address, program.size(),
                           [&](size_t i, size_t offset) { breakpoint.displaced[i] = program[offset]; });
  }
}

bool SoftwareBreakpoints::PutInMemory(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept) {
  if (breakpoint->size == PatternSize::kLibraryChosen) return PlantByLibrary(address, breakpoint, patternNotKept);
  breakpoint->displacedAt = address;
  // Under another breakpoint's pattern lies that one's program, not this pattern's.
  if (!ReadBytes(address, static_cast<size_t>(breakpoint->size), &breakpoint->displaced)) return false;
  ShowProgram(address, &breakpoint->displaced);
  return WritePattern(address, breakpoint, patternNotKept);
}

bool SoftwareBreakpoints::TakeOutOfMemory(uint32_t address, SoftwareBreakpoint* breakpoint) {
  if (!breakpoint->inMemory) return true;
  const bool restored = breakpoint->size == PatternSize::kLibraryChosen
                            ? ClearByLibrary(address, *breakpoint)
                            : WriteBytes(breakpoint->displacedAt, breakpoint->displaced);
  if (restored) breakpoint->inMemory = false;
  return restored;
}

bool SoftwareBreakpoints::PlantByLibrary(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept) {
  const Answer answer = SetSoftwareBreak(library_, address);
  if (patternNotKept != nullptr) *patternNotKept = answer.text.starts_with(kPatternNotKept);
  if (!answer.Ok()) return Failed(answer);
  if (answer.data.size() != kWordBytes) return Failed("the library answered no displaced word");
  breakpoint->displacedAt = ContainingWord(address);
  breakpoint->displaced = answer.data;
  breakpoint->inMemory = true;
  // Thumb breakpoints share a word: the one planted first displaced the program, the
  // later ones displaced its pattern with it.
  for (const auto& [at, other] : planted_) {
    if (at != address && other.inMemory && other.size == PatternSize::kLibraryChosen &&
        other.displacedAt == breakpoint->displacedAt) {
      breakpoint->displaced = other.displaced;
      break;
    }
  }
  return true;
}

// The library writes back the whole word it is given: the patterns of the other
// breakpoints in the word stay in it.
bool SoftwareBreakpoints::ClearByLibrary(uint32_t address, const SoftwareBreakpoint& breakpoint) {
  unsigned char word[kWordBytes];
  std::memcpy(word, breakpoint.displaced.data(), kWordBytes);
  for (const auto& [at, other] : planted_) {
    if (at != address && other.inMemory && other.size == PatternSize::kLibraryChosen &&
        ContainingWord(at) == breakpoint.displacedAt) {
      word[at % kWordBytes] = word[at % kWordBytes + 1] = kPatternByte;
    }
  }
  JtagRequest request = EmptyRequest();
  request.args.clearBreak.hardware = 0;
  request.args.clearBreak.address = address;
  std::memcpy(request.args.clearBreak.displacedWord, word, kWordBytes);
  const Answer answer = library_.Call(request, VANTREL_CMD_CLEAR_BREAK);
  return answer.Ok() || Failed(answer);
}

// The host writes the pattern in the size it was asked for, since the library would
// pick the form from the state the core last halted in, not from the code at the
// address. Memory that does not keep it (ROM, unmapped) gets the displaced bytes back:
// a part of the pattern may have landed.
bool SoftwareBreakpoints::WritePattern(uint32_t address, SoftwareBreakpoint* breakpoint, bool* patternNotKept) {
  const std::vector<unsigned char> pattern(breakpoint->displaced.size(), kPatternByte);
  std::vector<unsigned char> held;
  if (WriteBytes(address, pattern) && ReadBytes(address, pattern.size(), &held) && held == pattern) {
    breakpoint->inMemory = true;
    return true;
  }
  (void)WriteBytes(address, breakpoint->displaced);
  // A failed write or read has been reported already.
  if (held.empty()) return false;
  if (patternNotKept != nullptr) *patternNotKept = true;
  return Failed(NotKeptMessage(address));
}

bool SoftwareBreakpoints::ReadBytes(uint32_t address, size_t length, std::vector<unsigned char>* bytes) {
  bytes->assign(length, 0);
  // A pattern's few bytes: never a background transfer.
  const TransferResult read = ReadMemory(library_, address, bytes->data(), length);
  if (read.Done()) return true;
  bytes->clear();
  return Failed(read.answer);
}

bool SoftwareBreakpoints::WriteBytes(uint32_t address, const std::vector<unsigned char>& bytes) {
  const TransferResult written = WriteMemory(library_, address, bytes.data(), bytes.size(), false);
  return written.Done() || Failed(written.answer);
}

Answer SetSoftwareBreak(const Library& library, uint32_t address) {
  JtagRequest request = EmptyRequest();
  request.args.breakpoint.address = address;
  return library.Call(request, VANTREL_CMD_SET_SOFTWARE_BREAK);
}

Answer SetHardwareBreak(const Library& library, uint32_t address) {
  JtagRequest request = EmptyRequest();
  request.args.breakpoint.address = address;
  return library.Call(request, VANTREL_CMD_SET_HARDWARE_BREAK);
}

Answer ClearHardwareBreak(const Library& library) {
  JtagRequest request = EmptyRequest();
  request.args.clearBreak.hardware = 1;
  return library.Call(request, VANTREL_CMD_CLEAR_BREAK);
}

}  // namespace vantrel::client
