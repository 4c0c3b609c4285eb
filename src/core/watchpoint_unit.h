// The EmbeddedICE watchpoint units as the layers above the core see them: two units of
// six registers each, which the host may borrow for a data watchpoint or a further fetch
// breakpoint, and the status registers the host may dump.
#pragma once

#include <cstdint>

namespace vantrel::core {

inline constexpr int kWatchpointUnits = 2;
inline constexpr uint32_t kUnitEnable = 0x100;  // ENABLE in a control value

// The six registers of one unit (mask bits set: the bit is not compared).
struct UnitSetting {
  uint32_t addressValue = 0;
  uint32_t addressMask = 0;
  uint32_t dataValue = 0;
  uint32_t dataMask = 0;
  uint32_t controlValue = 0;
  uint32_t controlMask = 0;
};

// The EmbeddedICE registers the host may dump, in the order the core lists them.
inline constexpr int kIceDumpWords = 16;
struct IceDump {
  uint32_t words[kIceDumpWords];
};

}  // namespace vantrel::core
