// The library's face to the host: thin C wrappers. Nothing is thrown across them.
#include <cstring>

#include "api/instance.h"
#include "commands/cable_link.h"
#include "commands/dispatcher.h"
#include "commands/host_view.h"
#include "commands/job_result.h"
#include "platform/trace.h"
#include "vantrel.h"

namespace {

constexpr char kConflictMessage[] =
    "the debugger is debuggering program by another vyn instance, please close it and try again";
constexpr int kWaitFailed = -256;

int ReadStatus(int selector) {
  if (selector == VANTREL_SELECT_STATUS_WORD) return static_cast<int>(vantrel::shell::CoreStatusWord());
  return vantrel::shell::ReadPowerLines();
}

}  // namespace

extern "C" {

VANTREL_API void VANTREL_CALL Dll_Jtag_Entry(const JtagRequest* request, JtagResponse* response) {
  using vantrel::host::Entry;
  if (response == nullptr) return;
  if (!vantrel::host::InstanceActive()) {
    // Only the status and the message are written; echo and length are left alone.
    vantrel::host::TraceRefusalCause();
    response->status = VANTREL_STATUS_OTHER_INSTANCE;
    std::memcpy(response->data, kConflictMessage, sizeof kConflictMessage);
    return;
  }
  if (vantrel::host::EnterCableCall() != Entry::kEntered) {
    response->status = VANTREL_STATUS_FAILED;
    return;
  }
  vantrel::shell::DispatchCommand(request, response);
  vantrel::host::LeaveCableCall();
}

VANTREL_API int VANTREL_CALL getDbgStatus(int selector) {
  if (!vantrel::host::InstanceActive()) return -1;
  if (vantrel::host::EnterCableCall() != vantrel::host::Entry::kEntered) return kWaitFailed;
  const int status = ReadStatus(selector);
  vantrel::host::LeaveCableCall();
  return status;
}

VANTREL_API int VANTREL_CALL getJtagProcess(void) { return vantrel::shell::TransferPercent(); }

VANTREL_API void VANTREL_CALL setJtagProcessBreak(void) { vantrel::shell::RequestTransferStop(); }

VANTREL_API int VANTREL_CALL jtagGetLastError(void) { return static_cast<int>(vantrel::shell::LastJobResult()); }

VANTREL_API void VANTREL_CALL jtagClearLastError(void) {
  vantrel::shell::StoreLastJobResult(vantrel::shell::JobResult::kNone);
  vantrel::shell::ResetTransferProgress();
}

// A job still running would finish on the other port, so the switch waits for it as a
// command does. A refused instance runs no jobs and has no lock to take.
VANTREL_API void VANTREL_CALL VantrelUsePortIo(const VantrelPortIo* io) { VantrelUsePortBatch(io, nullptr); }

VANTREL_API void VANTREL_CALL VantrelUsePortBatch(const VantrelPortIo* io, VantrelPortBatch batch) {
  const bool entered =
      vantrel::host::InstanceActive() && vantrel::host::EnterCableCall() == vantrel::host::Entry::kEntered;
  vantrel::shell::UsePortIo(io, batch);
  if (entered) vantrel::host::LeaveCableCall();
}

VANTREL_API void VANTREL_CALL VantrelSetTraceSink(VantrelTraceSink sink, void* context) {
  vantrel::SetTraceSink(sink, context);
}

// A running job keeps the mode it began with: the choice waits for it as a command does.
VANTREL_API void VANTREL_CALL VantrelSetTransferMode(int mode) {
  const bool entered =
      vantrel::host::InstanceActive() && vantrel::host::EnterCableCall() == vantrel::host::Entry::kEntered;
  vantrel::shell::SetHostTransferMode(mode);
  if (entered) vantrel::host::LeaveCableCall();
}

}  // extern "C"
