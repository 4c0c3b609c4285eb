// ResultCode: the signed 32-bit outcome of every internal operation, one name and one
// value for each outcome whatever the layer that meets it. Only the command dispatcher
// turns these into a response status and message for the host, command by command.
#pragma once

#include <cstdint>

namespace vantrel {

using ResultCode = int32_t;

inline constexpr ResultCode kOk = 0;
inline constexpr ResultCode kInvalidParameters = -1;
inline constexpr ResultCode kSimulatorRequested = -2;
inline constexpr ResultCode kNoMemory = -9;
inline constexpr ResultCode kEmulatorNotFound = -13;
inline constexpr ResultCode kTargetNotFound = -15;
inline constexpr ResultCode kStatusError = -16;
inline constexpr ResultCode kWordTransferFailed = -17;
inline constexpr ResultCode kTransferStopped = -19;
inline constexpr ResultCode kNoPortAccess = -21;
inline constexpr ResultCode kBreakInWriteOnly = -22;
inline constexpr ResultCode kWriteRefusedReadOnly = -23;
inline constexpr ResultCode kBreakpointNotHeld = -24;  // the memory did not keep the pattern
inline constexpr ResultCode kNoWatchpointUnitFree = -25;
inline constexpr ResultCode kHaltFailed = -26;            // the core did not halt, or its link was lost meanwhile
inline constexpr ResultCode kLinkLost = -27;              // the cable, the power or the core's halting failed
inline constexpr ResultCode kReadRefusedWriteOnly = -28;  // the bytes lie wholly in a write-only region
inline constexpr ResultCode kAlreadyDown = -29;           // the target was down already: nothing to do
inline constexpr ResultCode kJobNotStarted = -30;         // no worker thread for a background job
inline constexpr ResultCode kVerifyFailed = -31;          // the bytes read back differ from those written

}  // namespace vantrel
