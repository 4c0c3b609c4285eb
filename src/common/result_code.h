// ResultCode: the signed 32-bit outcome of every internal operation. Only the command
// dispatcher turns these into a response status and message for the host.
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

}  // namespace vantrel
