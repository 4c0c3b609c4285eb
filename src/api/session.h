// The host's session: what the library holds from its load to its unload. It owns the
// command layer's state, which owns the target's and through it the debug core and its
// cables, and the exports hand that state down with every call. Made when the library
// loads, before any thread of it runs, and never destroyed: the unload, which runs among
// the static destructors, still uses it.
#pragma once

#include <atomic>
#include <cstddef>

#include "commands/command_state.h"
#include "platform/platform.h"

namespace vantrel::api {

inline constexpr std::size_t kMarkerFailureSize = 320;

struct Session {
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool instanceActive = false;
  // Empty unless the marker could not be used at load. A plain array: it is filled while
  // the library's static objects are still being constructed.
  char markerFailure[kMarkerFailureSize] = "";
  platform::EntryMutex entryMutex;
  commands::CommandState commands;

  // Ends the command layer's state and all it owns, down to the debug core and the
  // cable: the last step of the unload, after its last traffic. The session itself is
  // never destroyed, so this is how what the layers hold on the heap goes back before
  // the library is unmapped instead of leaking. Nothing reaches the layers after it.
  void ForgetLayerStates();

  // The command layer's state, or null once the unload ended it: a host thread that still
  // calls while its process exits then reaches nothing.
  commands::CommandState* LiveCommands() { return layersEnded_.load() ? nullptr : &commands; }

 private:
  std::atomic<bool> layersEnded_{false};
};

// The one session of the process, made on first use.
Session& TheSession();

}  // namespace vantrel::api
