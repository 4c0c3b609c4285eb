#include "api/instance.h"

#include <cstdio>
#include <string>

#include "api/session.h"
#include "commands/cable_link.h"
#include "commands/job_gate.h"
#include "platform/trace.h"

namespace vantrel::api {

void LoadInstance() {
  Session& session = TheSession();
  std::string failure;
  const platform::MarkerResult marker = platform::CreateInstanceMarker(kInstanceMarkerName, failure);
  if (marker != platform::MarkerResult::kCreated) {
    if (marker == platform::MarkerResult::kFailed) {
      std::snprintf(session.markerFailure, sizeof session.markerFailure, "%s", failure.c_str());
    }
    session.instanceActive = false;
    TraceRefusalCause();
    return;
  }
  if (!session.entryMutex.Exists()) {
    // A failed creation leaves the instance active, but every wait on it then fails.
    (void)session.entryMutex.Create(kEntryMutexName);
    (void)commands::JobGate().Create(kJobGateName);
  }
  session.instanceActive = true;
}

void UnloadInstance() {
  // A job still running would drive the cable and the state being torn down, so its
  // thread is waited for (or keeps the library loaded until it ends). Not the gate: when
  // the host process exits, its other threads, the job's worker among them, are ended
  // first, and the gate would never open again.
  platform::WaitForStartedThreads();
  Session& session = TheSession();
  if (session.instanceActive) platform::CloseInstanceMarker();
  if (session.entryMutex.Exists()) {
    session.entryMutex.Destroy();
    commands::JobGate().Destroy();
  }
  session.instanceActive = false;
  commands::LeaveCableAtUnload(session.commands);
  session.ForgetLayerStates();
}

bool InstanceActive() { return TheSession().instanceActive; }

void TraceRefusalCause() {
  const char* failure = TheSession().markerFailure;
  if (failure[0] != '\0') Trace("instance marker unusable, %s\n", failure);
}

Entry EnterCableCall() {
  platform::EntryMutex& entryMutex = TheSession().entryMutex;
  if (!entryMutex.Lock()) return Entry::kMutexFailed;
  if (!commands::JobGate().WaitUntilOpen()) {
    entryMutex.Unlock();
    return Entry::kGateFailed;
  }
  return Entry::kEntered;
}

// The host may wait a long time for its next call: nothing of this one may stay behind
// in a port that holds write-only runs back.
void LeaveCableCall() {
  Session& session = TheSession();
  commands::CableGoesIdle(session.commands);
  session.entryMutex.Unlock();
}

}  // namespace vantrel::api
