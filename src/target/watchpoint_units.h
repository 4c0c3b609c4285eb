// The core's two watchpoint units shared between the program stops a host asks for.
// Unit 0 holds the hardware breakpoint. Unit 1 detects the fetch of the software-breakpoint
// pattern while any software breakpoint is set; otherwise it is free for a data watchpoint
// or a second hardware breakpoint. A data watchpoint may also take unit 0 when no hardware
// breakpoint is set. A request that finds no unit free is refused, nothing changes.
#pragma once

#include <array>
#include <cstdint>

#include "common/result_code.h"

namespace vantrel::target {

// No watchpoint unit is free for the request (both hold breakpoints or watchpoints).
inline constexpr ResultCode kNoWatchpointUnitFree = -25;

enum class UnitUse : uint8_t { kFree, kHardwareBreakpoint, kSoftwareDetector, kDataWatch };

enum class WatchAccess : uint8_t { kRead, kWrite, kAccess };

// A data watchpoint: the core stops after a load or store whose address matches address
// in every bit that addressIgnored leaves clear, and whose width is size bytes (1, 2 or 4;
// 0 for any width).
struct WatchRequest {
  uint32_t address = 0;
  uint32_t addressIgnored = 0;
  uint32_t size = 0;
  WatchAccess access = WatchAccess::kWrite;
};

// The six registers of one unit (mask bits set: the bit is not compared).
struct UnitSetting {
  uint32_t addressValue = 0;
  uint32_t addressMask = 0;
  uint32_t dataValue = 0;
  uint32_t dataMask = 0;
  uint32_t controlValue = 0;
  uint32_t controlMask = 0;
};

// The registers for a data watchpoint. Returns 0; -1 a size other than 0, 1, 2, 4 or an
// address not aligned to size outside the ignored bits.
[[nodiscard]] ResultCode DataWatchSetting(const WatchRequest& request, UnitSetting* setting);

// The registers for a hardware breakpoint on the fetch at address (bit 0 ignored).
UnitSetting FetchBreakSetting(uint32_t address);

class WatchpointUnits {
 public:
  static constexpr int kUnits = 2;

  // Claims a unit for use (never kFree or kSoftwareDetector): the unit's index, or
  // kNoWatchpointUnitFree.
  [[nodiscard]] int Claim(UnitUse use);
  void Release(int unit);
  // Software breakpoints need unit 1: false (nothing changes) while it holds another use.
  [[nodiscard]] bool ReserveSoftwareDetector();
  void ReleaseSoftwareDetector();
  [[nodiscard]] UnitUse Use(int unit) const;

 private:
  std::array<UnitUse, kUnits> uses_{};
};

}  // namespace vantrel::target
