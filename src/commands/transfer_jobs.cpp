#include "commands/transfer_jobs.h"

#include <memory>
#include <new>
#include <optional>

#include "commands/command_state.h"
#include "commands/job_gate.h"
#include "commands/job_result.h"
#include "platform/platform.h"
#include "target/cable_link.h"
#include "target/checksum_verify.h"
#include "target/core_status.h"
#include "target/download_entry.h"
#include "target/memory_transfer.h"
#include "target/register_cache.h"
#include "target/target_control.h"
#include "target/target_state.h"

namespace vantrel::commands {
namespace {

constexpr int32_t kWholeWords = 4;
constexpr int32_t kMinAccessWidth = 1;
constexpr int32_t kMaxAccessWidth = 4;

void StartTransfer(target::TargetLayerState& target) { target::ResetTransferProgress(target); }

// The read runs a second time over the same range, so the host sees the percentage
// rise twice.
bool VerifyByReadingBack(target::TargetLayerState& target, uint32_t address, const uint8_t* expected, int32_t length) {
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[static_cast<std::size_t>(length)]);
  if (scratch == nullptr) return false;
  if (ReadMemoryTransfer(target, address, scratch.get(), length) != kOk) return false;
  bool same = true;
  for (int32_t i = 0; i < length; ++i) same = same && scratch[static_cast<std::size_t>(i)] == expected[i];
  return same;
}

// The fast mode lets the core compute a checksum of the range where it can; otherwise,
// or when that fails, the words are read back.
bool Verified(target::TargetLayerState& target, uint32_t address, const uint8_t* expected, int32_t length) {
  if (const std::optional<bool> same = target::VerifyByChecksum(target, address, expected, length)) return *same;
  return VerifyByReadingBack(target, address, expected, length);
}

JobResult DownloadJobResult(ResultCode result) {
  if (result == kOk) return JobResult::kSucceeded;
  return result == kVerifyFailed ? JobResult::kDownloadVerifyFailed : JobResult::kDownloadFailed;
}

JobResult ReadJobResult(ResultCode result) { return result == kOk ? JobResult::kSucceeded : JobResult::kReadFailed; }

JobResult WriteJobResult(ResultCode result) {
  if (result == kOk) return JobResult::kSucceeded;
  return result == kVerifyFailed ? JobResult::kWriteVerifyFailed : JobResult::kWriteFailed;
}

JobResult FailureOf(JobKind kind) {
  switch (kind) {
    case JobKind::kDownload: return JobResult::kDownloadFailed;
    case JobKind::kRead: return JobResult::kReadFailed;
    case JobKind::kWrite: return JobResult::kWriteFailed;
  }
  return JobResult::kDownloadFailed;
}

JobResult RunJob(target::TargetLayerState& target, const TransferJob& job) {
  switch (job.kind) {
    case JobKind::kDownload:
      return DownloadJobResult(
          DownloadImage(target, job.address, job.entryAddress, job.source, job.length, job.verify));
    case JobKind::kRead: return ReadJobResult(ReadMemoryTransfer(target, job.address, job.destination, job.length));
    case JobKind::kWrite:
      return WriteJobResult(WriteMemoryTransfer(target, job.address, job.source, job.length, job.width, job.verify));
  }
  return FailureOf(job.kind);
}

// The worker runs in the command state its job was started in. The gate opens only after
// the result is stored: a host that waits at the gate then always finds the job's result.
void JobWorker(void* state) {
  CommandState& commands = *static_cast<CommandState*>(state);
  StoreLastJobResult(commands, RunJob(commands.target, commands.job));
  target::LetCableCatchUp(commands.target);
  JobGate().Open();
}

ResultCode StartJob(CommandState& commands, const TransferJob& job) {
  commands.job = job;
  JobGate().Shut();
  target::LendCableToJob(commands.target);
  if (platform::StartDetachedThread(&JobWorker, &commands)) return kOk;
  target::LetCableCatchUp(commands.target);
  StoreLastJobResult(commands, FailureOf(job.kind));
  JobGate().Open();
  return kJobNotStarted;
}

}  // namespace

ResultCode StartDownloadJob(CommandState& commands, uint32_t loadAddress, uint32_t entryAddress, const uint8_t* image,
                            int32_t length, Verification verify) {
  if (length < 0 || (length > 0 && image == nullptr)) {
    StoreLastJobResult(commands, JobResult::kDownloadFailed);
    return kInvalidParameters;
  }
  return StartJob(commands,
                  {JobKind::kDownload, loadAddress, entryAddress, image, nullptr, length, kWholeWords, verify});
}

ResultCode WriteMemoryCommand(CommandState& commands, uint32_t address, const uint8_t* data, int32_t length,
                              int32_t width, Verification verify) {
  if (length <= 0 || data == nullptr || width < kMinAccessWidth || width > kMaxAccessWidth) return kInvalidParameters;
  if (length < kBackgroundTransferBytes)
    return WriteMemoryTransfer(commands.target, address, data, length, width, verify);
  return StartJob(commands, {JobKind::kWrite, address, 0, data, nullptr, length, width, verify});
}

ResultCode ReadMemoryCommand(CommandState& commands, uint32_t address, uint8_t* buffer, int32_t length) {
  if (length <= 0 || buffer == nullptr) return kInvalidParameters;
  if (length < kBackgroundTransferBytes) return ReadMemoryTransfer(commands.target, address, buffer, length);
  return StartJob(commands, {JobKind::kRead, address, 0, nullptr, buffer, length, 0, Verification::kNone});
}

ResultCode ReadMemoryTransfer(target::TargetLayerState& target, uint32_t address, uint8_t* buffer, int32_t length) {
  StartTransfer(target);
  const ResultCode result = target::FetchTargetMemory(target, address, length, buffer);
  // A failed transfer marks the target down only when a power reading says the power is
  // bad; a host that never asked for the power lines must not lose its target over a
  // read that the memory map refused (the same rule the progress report applies).
  if (result != kOk && target::PowerReadBad(target)) target::SetTargetState(target, target::kTargetDown);
  return result;
}

ResultCode WriteMemoryTransfer(target::TargetLayerState& target, uint32_t address, const uint8_t* data, int32_t length,
                               int32_t width, Verification verify) {
  StartTransfer(target);
  ResultCode result = target::StoreTargetMemory(target, address, length, data, width);
  if (result == kOk && verify == Verification::kCompare && !Verified(target, address, data, length))
    result = kVerifyFailed;
  return result;
}

ResultCode DownloadImage(target::TargetLayerState& target, uint32_t loadAddress, uint32_t entryAddress,
                         const uint8_t* image, int32_t length, Verification verify) {
  if (length == 0) return kOk;  // not a transfer: even the progress keeps its value
  StartTransfer(target);
  target::SetSavedPc(target, entryAddress);
  // The write runs on the core and clobbers r0 and r1; the host's values come back after.
  uint32_t keptR0 = 0;
  uint32_t keptR1 = 0;
  (void)target::ReadRegister(target, target::kCurrentMode, 0, keptR0, target::Preserve::kLowRegisters);
  (void)target::ReadRegister(target, target::kCurrentMode, 1, keptR1, target::Preserve::kLowRegisters);
  ResultCode result = target::StoreTargetMemory(target, loadAddress, length, image, kWholeWords);
  if (result != kOk && target::PowerReadBad(target)) target::SetTargetState(target, target::kTargetDown);
  if (result == kOk && verify == Verification::kCompare && !Verified(target, loadAddress, image, length))
    result = kVerifyFailed;
  const ResultCode finish = target::PrepareDownloadedEntry(target, entryAddress, keptR0, keptR1);
  if (result == kOk) result = finish;
  // A core that was never halted was not touched and is not halted now; one that a
  // failed transfer restarted runs (target down) and stays so.
  if (target::CoreHalted(target)) target::SetTargetState(target, target::kHalted);
  return result;
}

}  // namespace vantrel::commands
