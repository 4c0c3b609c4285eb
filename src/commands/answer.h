// How results become answers: the one place where result codes turn into a response
// status and the host's English messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/result_code.h"
#include "vantrel.h"

namespace vantrel::commands {

namespace message {
inline constexpr char kInvalidParameters[] = "invalid parameters are used";
inline constexpr char kEmulatorNotFound[] = "emulator not found, please check power and hardware connection";
inline constexpr char kLptDriverFailed[] = "LPT driver initialization failed";
inline constexpr char kTargetNotFound[] = "target not found, please check power and hardware connection";
inline constexpr char kAlreadyDown[] = "the target already in sys down status";
inline constexpr char kSysDownFailed[] = "failed when target sys down, please power off and connect again";
inline constexpr char kStatusError[] = "status error";
inline constexpr char kStopFailed[] = "failed when stop target, please power off and connect again";
inline constexpr char kWriteOnlyArea[] = "the memory area is set to write only";
inline constexpr char kWriteBusError[] = "some errors occur  when writing bus";
inline constexpr char kVerifyFailed[] = "verify failed, please check hardware or memory configurature(mem.set)";
inline constexpr char kReadBusError[] = "some errors occur  when reading bus";
inline constexpr char kNoMemory[] = "serious system error, memory allocate failed";
inline constexpr char kOverlap[] = "overlap memory configuration";
inline constexpr char kTooManyRegions[] = "too many configurations(must less than 50)";
inline constexpr char kNoRegions[] = "no memory configuration\r\n";
inline constexpr char kBreakpointNotHeld[] =
    "software breakpoint not set: the memory does not keep the pattern (ROM, unmapped or aborting memory), use "
    "the hardware breakpoint";
inline constexpr char kNoWatchpointUnitFree[] = "no watchpoint unit free: both hold breakpoints or watchpoints";
}  // namespace message

// One row of a command's answer table: a result other than 0 and what the host sees.
struct ResultAnswer {
  ResultCode result;
  int32_t status;
  const char* message;  // null: no message
};

// Status 1, no message, data zeroed, echo 0: how every command starts.
void PrepareResponse(JtagResponse& response);

// The text without terminator at the start of the data area; length = characters + 1.
void AnswerText(JtagResponse& response, int32_t status, std::string_view text);
// Raw bytes with their exact count; status 0.
void AnswerBytes(JtagResponse& response, const void* bytes, std::size_t count);
// 0: status 0. A listed result: its status and message. Anything else: status 1 and
// no message.
void AnswerResult(JtagResponse& response, ResultCode result, std::span<const ResultAnswer> table);

// A 64-byte text field of the request, read only within its bytes. False when the field
// has no terminator inside it: such a field matches nothing.
[[nodiscard]] bool ReadTextField(const char* field, std::string_view& text);

}  // namespace vantrel::commands
