// The stops GDB asks for beyond the one hardware breakpoint: data watchpoints (Z2 write,
// Z3 read, Z4 access) and further hardware breakpoints (a second Z1), each on a
// watchpoint unit the library lends. Unit 1 also detects the server's own breakpoint
// patterns, which the library does not see: while any pattern is planted a point goes
// to unit 0, and before a pattern is planted a point on unit 1 moves to unit 0.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "library.h"

namespace vantrel::gdb {

enum class PointType { kBreak, kWrite, kRead, kAccess };

struct UnitPoint {
  PointType type = PointType::kBreak;
  uint32_t address = 0;
  uint32_t length = 0;  // of a watched span; 0 for a breakpoint
  bool operator==(const UnitPoint&) const = default;
};

class UnitPoints {
 public:
  explicit UnitPoints(const client::Library& library) : library_(library) {}

  // patternsPlanted: the server has patterns in memory (they need unit 1). False with
  // *error set (the library's message, or what GDB asked that no unit can watch).
  bool Insert(const UnitPoint& point, bool patternsPlanted, std::string* error);
  // True when the point is gone or was never set.
  bool Remove(const UnitPoint& point);
  [[nodiscard]] bool Contains(const UnitPoint& point) const;

  // Before the server plants a pattern: unit 1 must detect it. A point there moves to
  // unit 0 when that is free. False when unit 1 stays lent.
  bool FreeDetectorUnit();

  [[nodiscard]] bool BreakAt(uint32_t pc) const;
  // A breakpoint on pc out of its unit for a step over it; PutBackLifted sets it again.
  bool Lift(uint32_t pc);
  void PutBackLifted(bool patternsPlanted);

  // "watch:1190;" (rwatch, awatch) when a data watchpoint of GDB's stopped the core last;
  // empty otherwise.
  [[nodiscard]] std::string StopDetail() const;

  void TakeOutAll();
  void Forget() {
    points_.clear();
    lifted_.clear();
  }

 private:
  bool Place(const UnitPoint& point, int32_t placement, std::string* error);

  const client::Library& library_;
  std::map<int32_t, UnitPoint> points_;  // by unit
  std::map<int32_t, UnitPoint> lifted_;
};

// GDB's Z type (1 to 4) as a point type; false for another.
bool PointTypeOf(char type, PointType* pointType);

}  // namespace vantrel::gdb
