// Where the TAP's state machine is left by a scan, a reset or a single clock: the words
// the cable's callers and its bit-banger share.
#pragma once

namespace vantrel::cable {

// Where a scan leaves the TAP: in Update-IR / Update-DR, or one clock on in Run-Test/Idle.
enum class ScanEnd { kUpdate, kIdle };
// Where a TAP reset leaves the TAP.
enum class TapResetEnd { kTestLogicReset, kRunTestIdle };
// Whether a single clock lowers TCK again at its end or leaves it high.
enum class TckEnd { kLeftHigh, kLowered };

}  // namespace vantrel::cable
