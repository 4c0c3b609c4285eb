// The library's watchpoint units as a host uses them: data watchpoints over a span of
// memory, a further hardware breakpoint, giving a unit back, and why the core stopped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "library.h"

namespace vantrel::client {

// A watched span as the unit compares it.
struct WatchSpan {
  uint32_t address = 0;
  uint32_t ignoredBits = 0;  // address bits not compared
  int32_t size = 0;          // 1, 2 or 4: only accesses of that width; 0: any width
};

// The span for LENGTH bytes at address: 1, 2 or 4 watch accesses of that width; a larger
// power of two (up to 2^31) a block of any width. The address must be aligned to the
// length. Returns "" or what is wrong.
std::string WatchSpanFor(uint32_t address, uint32_t length, WatchSpan* span);

// "r", "w" or "a" (also "read", "write", "access") as VANTREL_WATCH_*; empty otherwise.
std::optional<int32_t> ParseWatchKind(const std::string& word);
// "read", "write" or "access".
const char* WatchKindName(int32_t access);

// Answers of commands 52 to 55; the unit is the first word of a successful set.
// placement: VANTREL_PLACE_*.
Answer SetWatchpoint(const Library& library, const WatchSpan& span, int32_t access,
                     int32_t placement = VANTREL_PLACE_ANY);
Answer SetUnitBreak(const Library& library, uint32_t address, int32_t placement = VANTREL_PLACE_ANY);
Answer ClearUnit(const Library& library, int32_t unit);
// Empty when the library refuses the question.
std::optional<VantrelStopReason> GetStopReason(const Library& library);

}  // namespace vantrel::client
