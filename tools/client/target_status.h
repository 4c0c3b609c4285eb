// The target status word (getDbgStatus(VANTREL_SELECT_STATUS_WORD)) taken apart into what the host acts on.
#pragma once

#include "library.h"

namespace vantrel::client {

enum class TargetState { kNotOpened, kDown, kConnected, kHalted, kRunning, kUnknown };

struct TargetStatus {
  bool answered = false;  // false: the query failed and word holds its negative answer
  int word = 0;           // the status word as the library answered it
  int stateCode = 0;      // the state field of the word, for messages; 0 when not answered
  TargetState state = TargetState::kUnknown;
  bool inDebugState = false;  // the core acknowledges debug state
  bool thumb = false;         // the core is in Thumb state (meaningful in debug state only)

  // Halted under the library's control: after connect, a stop, a breakpoint or a download.
  bool Halted() const { return state == TargetState::kConnected || state == TargetState::kHalted; }
  bool Running() const { return state == TargetState::kRunning; }
};

TargetStatus ReadTargetStatus(const Library& library);

}  // namespace vantrel::client
