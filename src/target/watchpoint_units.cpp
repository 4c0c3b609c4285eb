#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

// Watchpoint control bits as the comparators see a bus cycle.
constexpr uint32_t kControlWrite = 0x01;        // nRW: the cycle writes
constexpr uint32_t kControlSizeShift = 1;       // MAS: 0 byte, 1 halfword, 2 word
constexpr uint32_t kControlSizeBits = 0x06;
constexpr uint32_t kControlData = 0x08;         // nOPC: not an instruction fetch
constexpr uint32_t kControlEnable = 0x100;
constexpr uint32_t kControlIgnoredAlways = 0xF0;  // nTRANS, EXTERN, CHAIN, RANGE
constexpr uint32_t kCompareNoBit = 0xFFFFFFFF;
constexpr uint32_t kFetchIgnored = 0x00000001;    // an ARM or Thumb fetch of the address
constexpr int kHardwareBreakpointUnit = 0;
constexpr int kSoftwareDetectorUnit = 1;

bool SizeCode(uint32_t size, uint32_t* code) {
  switch (size) {
    case 1: *code = 0; return true;
    case 2: *code = 1; return true;
    case 4: *code = 2; return true;  // NOLINT(readability-magic-numbers): word, 4 bytes
    default: return false;
  }
}

}  // namespace

ResultCode DataWatchSetting(const WatchRequest& request, UnitSetting* setting) {
  uint32_t sizeCode = 0;
  const bool anySize = request.size == 0;
  if (!anySize && !SizeCode(request.size, &sizeCode)) return kInvalidParameters;
  if (!anySize && (request.address & ~request.addressIgnored & (request.size - 1)) != 0) return kInvalidParameters;
  UnitSetting out;
  out.addressValue = request.address & ~request.addressIgnored;
  out.addressMask = request.addressIgnored;
  out.dataMask = kCompareNoBit;
  out.controlValue = kControlEnable | kControlData | (sizeCode << kControlSizeShift);
  out.controlMask = kControlIgnoredAlways;
  if (anySize) out.controlMask |= kControlSizeBits;
  if (request.access == WatchAccess::kWrite) out.controlValue |= kControlWrite;
  if (request.access == WatchAccess::kAccess) out.controlMask |= kControlWrite;
  *setting = out;
  return kOk;
}

UnitSetting FetchBreakSetting(uint32_t address) {
  UnitSetting out;
  out.addressValue = address;
  out.addressMask = kFetchIgnored;
  out.dataMask = kCompareNoBit;
  out.controlValue = kControlEnable;
  out.controlMask = kControlIgnoredAlways | kControlSizeBits | kControlWrite;
  return out;
}

// The hardware breakpoint prefers unit 0 and a data watchpoint unit 1, so that the
// first of each keeps the unit the core's debug entry leaves it.
int WatchpointUnits::Claim(UnitUse use) {
  if (use == UnitUse::kFree || use == UnitUse::kSoftwareDetector) return kInvalidParameters;
  const int preferred = use == UnitUse::kHardwareBreakpoint ? kHardwareBreakpointUnit : kSoftwareDetectorUnit;
  for (const int unit : {preferred, kUnits - 1 - preferred}) {
    if (uses_[unit] != UnitUse::kFree) continue;
    uses_[unit] = use;
    return unit;
  }
  return kNoWatchpointUnitFree;
}

void WatchpointUnits::Release(int unit) {
  if (unit < 0 || unit >= kUnits || uses_[unit] == UnitUse::kSoftwareDetector) return;
  uses_[unit] = UnitUse::kFree;
}

bool WatchpointUnits::ReserveSoftwareDetector() {
  UnitUse& use = uses_[kSoftwareDetectorUnit];
  if (use != UnitUse::kFree && use != UnitUse::kSoftwareDetector) return false;
  use = UnitUse::kSoftwareDetector;
  return true;
}

void WatchpointUnits::ReleaseSoftwareDetector() {
  if (uses_[kSoftwareDetectorUnit] == UnitUse::kSoftwareDetector) uses_[kSoftwareDetectorUnit] = UnitUse::kFree;
}

UnitUse WatchpointUnits::Use(int unit) const { return unit >= 0 && unit < kUnits ? uses_[unit] : UnitUse::kFree; }

}  // namespace vantrel::target
