// What the ARM7TDMI debug core holds between calls: the halted core's registers and
// facts, what the TAP is known to hold, the link's observations, the progress of a
// transfer, and the work areas a loop may have left borrowed. One object holds it all,
// its members at the values of a freshly loaded library, and the cables the core drives.
// The core's object owns it; the functions of the core's files are handed it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "arm7/checksum_loop.h"
#include "arm7/comms_loop.h"
#include "arm7/core_state.h"
#include "arm7/instructions.h"
#include "cable/bit_vector.h"
#include "cable/cable_registry.h"
#include "cable/jtag_cable.h"
#include "core/watchpoint_unit.h"

namespace vantrel::arm7 {

struct HaltedCore {
  static constexpr uint32_t kNoPatternWritten = 0xFFFFFFFF;
  std::array<uint32_t, kRegisterCacheSize> registerCache{};
  bool armStateAtEntry = true;
  bool bigEndianTarget = false;
  uint32_t lastBreakpointPattern = kNoPatternWritten;
  bool watchpointsAsProgrammed = false;
  // The last debug-state entry was one the debugger asked for (not a breakpoint's).
  bool lastEntryRequested = false;
};

// What the TAP holds, followed while a selection is kept.
struct ScanSelection {
  static constexpr int kChainUnknown = -1;
  static constexpr uint32_t kInstructionUnknown = 0xFFFFFFFF;
  int keptDepth = 0;
  int selectedChain = kChainUnknown;
  uint32_t loadedInstruction = kInstructionUnknown;
  uint32_t tapResetsSeen = 0;  // a TAP reset since makes both unknown
};

struct LinkObservations {
  bool linkLost = false;
  bool outOfStep = false;  // of the observations, the one the cable itself cannot cause
};

// Shared with host threads polling or stopping the transfer; no ordering is needed.
struct ProgressState {
  std::atomic<int32_t> percent{0};
  std::atomic<bool> breakRequest{false};
};

// One run of the comms loop, from its start to its end.
struct CommsRun {
  uint32_t workArea = 0;
  uint32_t words = 0;
  uint32_t savedWp1Address = 0;
  uint32_t cableReads = 0;  // reads of the comms data register since the start
  uint32_t wordsSent = 0;
  bool watchpointsWereProgrammed = false;
  uint8_t saved[kCommsLoopBytes] = {};
};

struct CommsLoopState {
  CommsRun run;
  // Where the store loop's scans capture: their bits are never used, only the status byte.
  cable::BitVector<kIceChainBits> ignoredCapture;
  // The loop's scans, from its start to its end, skip the status reads nobody needs.
  std::optional<cable::UnreadTdoScope> clocks;
  // The last loop could not be halted: its work area still holds the loop.
  bool leftBehind = false;
};

// A work area the checksum loop borrowed, with what it held before.
struct ChecksumBorrowed {
  uint32_t workArea;
  uint8_t saved[kChecksumLoopBytes];
  uint32_t savedWp0Address;
  uint32_t savedWp1Address;
  bool watchpointsWereProgrammed;
};

struct Arm7State {
  // The cable kinds of the session, and the one the core drives.
  cable::CableChoice cables;
  HaltedCore halted;
  ScanSelection scan;
  LinkObservations link;
  ProgressState progress;
  CommsLoopState commsLoop;
  // A loop whose core could not be halted stays in its area until the next debug-state
  // entry puts the saved bytes back.
  std::optional<ChecksumBorrowed> checksumLeftBehind;
  // What the host lent to each watchpoint unit.
  std::array<std::optional<core::UnitSetting>, core::kWatchpointUnits> lentUnits;
};

}  // namespace vantrel::arm7
