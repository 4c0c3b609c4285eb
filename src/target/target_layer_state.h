// What target control holds between calls: the connection's state, the host's memory
// map, the units and breakpoints in use, and the last stop. One object holds it all, its
// members at the values of a freshly loaded library. The command layer's state holds it;
// every function of target control that needs it, or the core, is given it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>

#include "core/debug_core.h"
#include "core/watchpoint_unit.h"
#include "target/memory_map.h"
#include "target/stop_report.h"
#include "target/target_state.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {

struct Connection {
  uint32_t targetState = kNothingOpened;
  bool cableOpenedOnce = false;
};

struct MemoryMap {
  std::array<MemoryRegion, kMaxMemoryRegions> regions{};
  int count = 0;
};

// What a watchpoint unit is used for, and what it was set to.
struct UnitRecord {
  UnitUse use = UnitUse::kFree;
  WatchRequest watch;
  uint32_t breakAddress = 0;
};

struct UnitsInUse {
  std::array<UnitRecord, core::kWatchpointUnits> units;
  bool hardwareBreakpointSet = false;
  uint32_t hardwareBreakpointAddress = 0;
  std::set<uint32_t> softwareBreakpoints;
};

class TargetLayerState {
 public:
  // The core of the core table's first line (active_core.cpp), or the one given.
  TargetLayerState();
  explicit TargetLayerState(std::unique_ptr<core::DebugCore> core);
  ~TargetLayerState();
  TargetLayerState(const TargetLayerState&) = delete;
  TargetLayerState& operator=(const TargetLayerState&) = delete;

  core::DebugCore& Core() { return *core_; }

  Connection connection;
  MemoryMap memoryMap;
  UnitsInUse units;
  StopReport lastStop;

 private:
  std::unique_ptr<core::DebugCore> core_;
};

}  // namespace vantrel::target
