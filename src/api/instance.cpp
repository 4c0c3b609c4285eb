#include "api/instance.h"

#include <cstdio>
#include <string>

#include "commands/cable_link.h"
#include "commands/job_gate.h"
#include "platform/trace.h"

namespace vantrel::host {
namespace {

bool g_instance_active = false;
// Empty unless the marker could not be used at load. A plain array: it is filled while
// the library's static objects are still being constructed.
char g_marker_failure[320] = "";
platform::EntryMutex g_entry_mutex;

}  // namespace

void LoadInstance() {
  std::string failure;
  const platform::MarkerResult marker = platform::CreateInstanceMarker(kInstanceMarkerName, failure);
  if (marker != platform::MarkerResult::kCreated) {
    if (marker == platform::MarkerResult::kFailed) {
      std::snprintf(g_marker_failure, sizeof g_marker_failure, "%s", failure.c_str());
    }
    g_instance_active = false;
    TraceRefusalCause();
    return;
  }
  if (!g_entry_mutex.Exists()) {
    // A failed creation leaves the instance active, but every wait on it then fails.
    (void)g_entry_mutex.Create(kEntryMutexName);
    (void)shell::JobGate().Create(kJobGateName);
  }
  g_instance_active = true;
}

void UnloadInstance() {
  // A job still running would drive the cable and the state being torn down, so its
  // thread is waited for (or keeps the library loaded until it ends). Not the gate: when
  // the host process exits, its other threads, the job's worker among them, are ended
  // first, and the gate would never open again.
  platform::WaitForStartedThreads();
  if (g_instance_active) platform::CloseInstanceMarker();
  if (g_entry_mutex.Exists()) {
    g_entry_mutex.Destroy();
    shell::JobGate().Destroy();
  }
  g_instance_active = false;
  shell::LeaveCableAtUnload();
}

bool InstanceActive() { return g_instance_active; }

void TraceRefusalCause() {
  if (g_marker_failure[0] != '\0') Trace("instance marker unusable, %s\n", g_marker_failure);
}

Entry EnterCableCall() {
  if (!g_entry_mutex.Lock()) return Entry::kMutexFailed;
  if (!shell::JobGate().WaitUntilOpen()) {
    g_entry_mutex.Unlock();
    return Entry::kGateFailed;
  }
  return Entry::kEntered;
}

// The host may wait a long time for its next call: nothing of this one may stay behind
// in a port that holds write-only runs back.
void LeaveCableCall() {
  shell::CableGoesIdle();
  g_entry_mutex.Unlock();
}

}  // namespace vantrel::host
