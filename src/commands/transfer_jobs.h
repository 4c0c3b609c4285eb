// Download, memory write and memory read as the host asks for them: short reads and
// writes run inside the command; a download, and every read or write of 256 bytes or
// more, runs as a background job on a worker thread of its own while the host polls
// its progress and collects its outcome (LastJobResult).
//
// One job at a time: the starter shuts the job gate before the command returns and the
// worker opens it once LastJobResult is stored, so every command and status call waits
// for the job. The host keeps the buffers it named valid until the job has ended.
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "vantrel.h"

namespace vantrel::target {
class TargetLayerState;
}

namespace vantrel::commands {

struct CommandState;

inline constexpr int32_t kBackgroundTransferBytes = VANTREL_BACKGROUND_TRANSFER_BYTES;

// Whether a write or a download is compared with the target's memory once written.
enum class Verification { kNone, kCompare };
// The host's flag switches the comparison on only with 1.
constexpr Verification VerificationFrom(int32_t hostFlag) {
  return hostFlag == 1 ? Verification::kCompare : Verification::kNone;
}

// Starts the download job (any length, 0 included). Returns kOk; kInvalidParameters for a
// negative length (LastJobResult kDownloadFailed, nothing started); kJobNotStarted (no
// worker thread: LastJobResult holds the failure).
[[nodiscard]] ResultCode StartDownloadJob(CommandState& commands, uint32_t loadAddress, uint32_t entryAddress,
                                          const uint8_t* image, int32_t length, Verification verify);

// Below 256 bytes WriteMemoryTransfer's result, otherwise kOk once the job is started (or
// kJobNotStarted). kInvalidParameters for a length of 0 or less, a null pointer or a width
// outside 1 to 4.
[[nodiscard]] ResultCode WriteMemoryCommand(CommandState& commands, uint32_t address, const uint8_t* data,
                                            int32_t length, int32_t width, Verification verify);

// Below 256 bytes ReadMemoryTransfer's result, otherwise kOk once the job is started (or
// kJobNotStarted). kInvalidParameters for a length of 0 or less or a null buffer.
[[nodiscard]] ResultCode ReadMemoryCommand(CommandState& commands, uint32_t address, uint8_t* buffer, int32_t length);

// Writes the image, optionally verifies it, keeps r0 and r1, and leaves the core halted
// with the saved PC at the entry address in ARM state. Length 0 does nothing.
// Returns kOk, kVerifyFailed, or StoreTargetMemory's result.
[[nodiscard]] ResultCode DownloadImage(target::TargetLayerState& target, uint32_t loadAddress, uint32_t entryAddress,
                                       const uint8_t* image, int32_t length, Verification verify);

// Returns kOk, kVerifyFailed, or StoreTargetMemory's result. Leaves TargetState alone.
[[nodiscard]] ResultCode WriteMemoryTransfer(target::TargetLayerState& target, uint32_t address, const uint8_t* data,
                                             int32_t length, int32_t width, Verification verify);

// FetchTargetMemory's result; a failure while the power is not known good marks the
// target down.
[[nodiscard]] ResultCode ReadMemoryTransfer(target::TargetLayerState& target, uint32_t address, uint8_t* buffer,
                                            int32_t length);

}  // namespace vantrel::commands
