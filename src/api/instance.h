// The single active instance on the machine and the serialisation of the calls that
// drive the cable.
//
// Load decides once whether this instance is the active one (it created the named
// marker); only the active instance creates the entry mutex and the job gate.
// Dll_Jtag_Entry and getDbgStatus hold the entry mutex for the whole call and first wait
// until the job gate is open; a background job shuts the gate when it starts and its
// worker opens it when it has stored its result.
#pragma once

#include "platform/platform.h"

namespace vantrel::api {

inline constexpr char kInstanceMarkerName[] = "jtag_dll_share_mem";
inline constexpr char kEntryMutexName[] = "MutexToJtagEntry";
inline constexpr char kJobGateName[] = "MutexToJtagDownload";

// Load: take the marker; when this instance is the first, create the mutex and the gate.
void LoadInstance();
// Unload: wait for a running job, release the marker, close the mutex and the gate,
// and leave a selected cable's TAP in Test-Logic-Reset.
void UnloadInstance();

bool InstanceActive();
// A refused instance whose marker could not be used (as opposed to one held by another
// instance) says why in a trace line: at load, where no host sink is installed yet,
// and again at each refused command.
void TraceRefusalCause();

enum class Entry { kEntered, kMutexFailed, kGateFailed };
// Takes the entry mutex and waits for the job gate; on kGateFailed the mutex has been
// released again.
[[nodiscard]] Entry EnterCableCall();
void LeaveCableCall();

}  // namespace vantrel::api
