#include "transfers.h"

#include <cstring>

#include "background_job.h"
#include "interrupt.h"
#include "numbers.h"
#include "output.h"
#include "progress_bar.h"
#include "session.h"

namespace vantrel::cli {

namespace {

struct JobOutcome {
  int result = kJobRunning;
  bool interrupted = false;
  int percent = 0;
};

// Follows the job the last command started until it stores its result.
JobOutcome FollowJob(const Session& session, const std::string& label) {
  const Library& library = session.library();
  ProgressBar bar(label, session.settings().progressBar);
  JobOutcome outcome;
  outcome.result = WaitForJob(library, [&](int percent) {
    bar.Update(percent);
    if (TakeInterrupt()) outcome.interrupted = true;
    return !outcome.interrupted;
  });
  outcome.percent = library.Progress();
  bar.Finish();
  return outcome;
}

// Runs a transfer command; in the background when asked to, then follows the job.
bool RunTransfer(Session& session, int32_t code, const JtagRequest& request, bool background,
                 const std::string& label) {
  if (background) session.library().ClearLastJobResult();
  if (!session.Check(session.Call(code, request))) return false;
  if (!background) return true;
  const JobOutcome outcome = FollowJob(session, label);
  if (outcome.interrupted) {
    return session.Fail("stopped by Ctrl-C at " + std::to_string(outcome.percent) + "% (job result " +
                        std::to_string(outcome.result) + ")");
  }
  if (outcome.result == 0) return true;
  std::string message = JobResultMeaning(outcome.result);
  const int status = session.library().DbgStatus(0);
  const int state = status >= 0 ? status >> VANTREL_STATE_SHIFT : 0;
  if (status >= 0 && state != VANTREL_STATE_CONNECTED && state != VANTREL_STATE_HALTED)
    message += "; the target is " + TargetStateName(state);
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
  JtagRequest request = EmptyRequest();
  request.args.readMemory.buffer = bytes->data();
  request.args.readMemory.address = address;
  request.args.readMemory.length = static_cast<int32_t>(length);
  return RunTransfer(session, VANTREL_CMD_READ_MEMORY, request, length >= kBackgroundTransferBytes,
                     "read  " + Hex32(address));
}

bool WriteTarget(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, bool verify) {
  if (!CheckRange(session, address, bytes.size())) return false;
  JtagRequest request = EmptyRequest();
  request.args.writeMemory.verify = verify ? 1 : 0;
  request.args.writeMemory.address = address;
  request.args.writeMemory.data = bytes.data();
  request.args.writeMemory.length = static_cast<int32_t>(bytes.size());
  request.args.writeMemory.accessWidth = 4;
  return RunTransfer(session, VANTREL_CMD_WRITE_MEMORY, request, bytes.size() >= kBackgroundTransferBytes,
                     "write " + Hex32(address));
}

bool DownloadSegment(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, uint32_t entry,
                     bool verify) {
  if (!CheckRange(session, address, bytes.size())) return false;
  JtagRequest request = EmptyRequest();
  request.args.download.verify = verify ? 1 : 0;
  request.args.download.loadAddress = address;
  request.args.download.entryAddress = entry;
  request.args.download.image = bytes.data();
  request.args.download.length = static_cast<int32_t>(bytes.size());
  return RunTransfer(session, VANTREL_CMD_DOWNLOAD, request, true, "load  " + Hex32(address));
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
