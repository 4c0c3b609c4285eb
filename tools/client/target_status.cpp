#include "target_status.h"

namespace vantrel::client {

namespace {

TargetState StateOf(int code) {
  switch (code) {
    case VANTREL_STATE_NOT_OPENED: return TargetState::kNotOpened;
    case VANTREL_STATE_DOWN: return TargetState::kDown;
    case VANTREL_STATE_CONNECTED: return TargetState::kConnected;
    case VANTREL_STATE_HALTED: return TargetState::kHalted;
    case VANTREL_STATE_RUNNING: return TargetState::kRunning;
    default: return TargetState::kUnknown;
  }
}

}  // namespace

TargetStatus ReadTargetStatus(const Library& library) {
  TargetStatus status;
  status.word = library.DbgStatus(VANTREL_SELECT_STATUS_WORD);
  if (status.word < 0) return status;
  status.answered = true;
  status.stateCode = status.word >> VANTREL_STATE_SHIFT;
  status.state = StateOf(status.stateCode);
  status.inDebugState = (status.word & VANTREL_STATUS_IN_DEBUG) != 0;
  status.thumb = (status.word & VANTREL_STATUS_THUMB) != 0;
  return status;
}

}  // namespace vantrel::client
