// The library's face to the host: thin C wrappers. Nothing is thrown across them.
#include <cstring>

#include "api/instance.h"
#include "api/session.h"
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

vantrel::commands::CommandState& Commands() { return vantrel::api::TheSession().commands; }

// Runs the call on the session's command state, or answers `ended` once the unload has
// ended that state (a host thread still calling while its process exits).
template <typename Result, typename Call>
Result OnLiveCommands(Result ended, Call call) {
  vantrel::commands::CommandState* commands = vantrel::api::TheSession().LiveCommands();
  return commands != nullptr ? call(*commands) : ended;
}

template <typename Call>
void OnLiveCommands(Call call) {
  vantrel::commands::CommandState* commands = vantrel::api::TheSession().LiveCommands();
  if (commands != nullptr) call(*commands);
}

int ReadStatus(int selector) {
  if (selector == VANTREL_SELECT_STATUS_WORD) return static_cast<int>(vantrel::commands::CoreStatusWord(Commands()));
  return vantrel::commands::ReadPowerLines(Commands());
}

}  // namespace

extern "C" {

VANTREL_API void VANTREL_CALL Dll_Jtag_Entry(const JtagRequest* request, JtagResponse* response) {
  using vantrel::api::Entry;
  if (response == nullptr) return;
  if (!vantrel::api::InstanceActive()) {
    // Only the status and the message are written; echo and length are left alone.
    vantrel::api::TraceRefusalCause();
    response->status = VANTREL_STATUS_OTHER_INSTANCE;
    std::memcpy(response->data, kConflictMessage, sizeof kConflictMessage);
    return;
  }
  if (vantrel::api::EnterCableCall() != Entry::kEntered) {
    response->status = VANTREL_STATUS_FAILED;
    return;
  }
  vantrel::commands::DispatchCommand(Commands(), request, response);
  vantrel::api::LeaveCableCall();
}

VANTREL_API int VANTREL_CALL getDbgStatus(int selector) {
  if (!vantrel::api::InstanceActive()) return -1;
  if (vantrel::api::EnterCableCall() != vantrel::api::Entry::kEntered) return kWaitFailed;
  const int status = ReadStatus(selector);
  vantrel::api::LeaveCableCall();
  return status;
}

VANTREL_API int VANTREL_CALL getJtagProcess(void) {
  return OnLiveCommands(0, [](auto& commands) { return vantrel::commands::TransferPercent(commands); });
}

VANTREL_API void VANTREL_CALL setJtagProcessBreak(void) {
  OnLiveCommands([](auto& commands) { vantrel::commands::RequestTransferStop(commands); });
}

VANTREL_API int VANTREL_CALL jtagGetLastError(void) {
  return OnLiveCommands(static_cast<int>(vantrel::commands::JobResult::kNone), [](auto& commands) {
    return static_cast<int>(vantrel::commands::LastJobResult(commands));
  });
}

VANTREL_API void VANTREL_CALL jtagClearLastError(void) {
  OnLiveCommands([](auto& commands) {
    vantrel::commands::StoreLastJobResult(commands, vantrel::commands::JobResult::kNone);
    vantrel::commands::ResetTransferProgress(commands);
  });
}

// A job still running would finish on the other port, so the switch waits for it as a
// command does. A refused instance runs no jobs and has no lock to take.
VANTREL_API void VANTREL_CALL VantrelUsePortIo(const VantrelPortIo* io) { VantrelUsePortBatch(io, nullptr); }

VANTREL_API void VANTREL_CALL VantrelUsePortBatch(const VantrelPortIo* io, VantrelPortBatch batch) {
  const bool entered =
      vantrel::api::InstanceActive() && vantrel::api::EnterCableCall() == vantrel::api::Entry::kEntered;
  OnLiveCommands([&](auto& commands) { vantrel::commands::UsePortIo(commands, io, batch); });
  if (entered) vantrel::api::LeaveCableCall();
}

VANTREL_API void VANTREL_CALL VantrelSetTraceSink(VantrelTraceSink sink, void* context) {
  vantrel::SetTraceSink(sink, context);
}

// A running job keeps the mode it began with: the choice waits for it as a command does.
VANTREL_API void VANTREL_CALL VantrelSetTransferMode(int mode) {
  const bool entered =
      vantrel::api::InstanceActive() && vantrel::api::EnterCableCall() == vantrel::api::Entry::kEntered;
  OnLiveCommands([&](auto& commands) { vantrel::commands::SetHostTransferMode(commands, mode); });
  if (entered) vantrel::api::LeaveCableCall();
}

}  // extern "C"
