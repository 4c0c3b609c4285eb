#include "transfers.h"

#include <functional>

#include "interrupt.h"
#include "memory_calls.h"
#include "numbers.h"
#include "output.h"
#include "progress_bar.h"
#include "session.h"
#include "target_status.h"

namespace vantrel::cli {

namespace {

// A transfer's progress bar, Ctrl-C turned into a request to stop, and the outcome in the
// host's words.
bool RunTransfer(Session& session, const std::string& label,
                 const std::function<client::TransferResult(const client::JobWatcher&)>& transfer) {
  ProgressBar bar(label, session.settings().progressBar);
  const client::TransferResult result = transfer([&](int percent) {
    bar.Update(percent);
    return !TakeInterrupt();
  });
  bar.Finish();
  switch (result.end) {
    case client::TransferEnd::kDone: return true;
    case client::TransferEnd::kRefused: return session.Check(result.answer);
    case client::TransferEnd::kStopped:
      return session.Fail("stopped by Ctrl-C at " + std::to_string(result.percent) + "% (job result " +
                          std::to_string(result.jobResult) + ")");
    case client::TransferEnd::kJobFailed: break;
  }
  std::string message = JobResultMeaning(result.jobResult);
  const client::TargetStatus status = client::ReadTargetStatus(session.library());
  if (status.answered && !status.Halted()) message += "; the target is " + TargetStateName(status.stateCode);
  return session.Fail(message);
}

bool CheckLength(Session& session, size_t length) {
  if (length == 0) return session.Fail("the length must be at least 1");
  if (length > kMaxTransferBytes) return session.Fail("at most 64M bytes per transfer");
  return true;
}

bool CheckRange(Session& session, uint32_t address, size_t length) {
  if (!CheckLength(session, length)) return false;
  if (static_cast<uint64_t>(address) + length > 0x100000000ull) {
    return session.Fail("the range passes the end of the address space");
  }
  return true;
}

}  // namespace

// The library moves exactly the bytes asked for, at any address and any length.
bool ReadTarget(Session& session, uint32_t address, size_t length, std::vector<unsigned char>* bytes) {
  if (!CheckRange(session, address, length)) return false;
  bytes->assign(length, 0);
  return RunTransfer(session, "read  " + Hex32(address), [&](const client::JobWatcher& watcher) {
    return ReadMemory(session.library(), address, bytes->data(), length, watcher);
  });
}

bool WriteTarget(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, bool verify) {
  if (!CheckRange(session, address, bytes.size())) return false;
  return RunTransfer(session, "write " + Hex32(address), [&](const client::JobWatcher& watcher) {
    return WriteMemory(session.library(), address, bytes.data(), bytes.size(), verify, watcher);
  });
}

bool DownloadSegment(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, uint32_t entry,
                     bool verify) {
  if (!CheckRange(session, address, bytes.size())) return false;
  return RunTransfer(session, "load  " + Hex32(address), [&](const client::JobWatcher& watcher) {
    return Download(session.library(), address, bytes.data(), bytes.size(), entry, verify, watcher);
  });
}

std::string JobResultMeaning(int result) {
  const std::string code = " (job result " + std::to_string(result) + ")";
  switch (result) {
    case VANTREL_JOB_DOWNLOAD_FAILED: return "the download's write was refused or failed" + code;
    case VANTREL_JOB_READ_FAILED: return "the read failed" + code;
    case VANTREL_JOB_WRITE_FAILED: return "the write was refused or failed" + code;
    case VANTREL_JOB_DOWNLOAD_VERIFY_FAILED: return "verify failed: the memory does not hold the image" + code;
    case VANTREL_JOB_WRITE_VERIFY_FAILED: return "verify failed: the memory does not hold what was written" + code;
    default: return "the transfer failed" + code;
  }
}

}  // namespace vantrel::cli
