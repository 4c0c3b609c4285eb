#include "cable/cable.h"

#include "cable/cable_lines.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

bool PortSelected(const PortCableState& state) { return state.selection.selectedPort != kNoPortSelected; }
const PortAddresses& SelectedAddresses(const PortCableState& state) {
  return PortTableEntry(state, state.selection.selectedPort);
}

bool PortHoldsTestByte(PortCableState& state, int portIndex) {
  const uint16_t dataPort = IoAddress(PortTableEntry(state, portIndex).data);
  PortWrite(state, dataPort, lines::kPresenceTestByte);
  return PortRead(state, dataPort) == lines::kPresenceTestByte;
}

}  // namespace

ResultCode OpenCable(PortCableState& state, int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return kInvalidParameters;
  LoadPortConfig(state);
  if (const ResultCode access = ObtainPortAccess(state, portIndex); access != kOk) return access;
  if (!PortHoldsTestByte(state, portIndex)) {
    state.selection.selectedPort = kNoPortSelected;
    return kEmulatorNotFound;
  }
  state.selection.selectedPort = portIndex;
  return kOk;
}

int32_t SelectedPort(const PortCableState& state) { return state.selection.selectedPort; }
uint16_t SelectedDataPort(const PortCableState& state) {
  return PortSelected(state) ? IoAddress(SelectedAddresses(state).data) : 0;
}
uint16_t SelectedStatusPort(const PortCableState& state) {
  return PortSelected(state) ? IoAddress(SelectedAddresses(state).status) : 0;
}
uint16_t SelectedControlPort(const PortCableState& state) {
  return PortSelected(state) ? IoAddress(SelectedAddresses(state).control) : 0;
}

// Both sense lines are active low, and each is sampled by a read of its own.
int32_t ReadPowerLines(PortCableState& state) {
  int32_t& power = state.selection.powerStatus;
  power = 0;
  if (!PortSelected(state)) return -1;
  if ((PortRead(state, SelectedStatusPort(state)) & lines::kFirstSenseLine) == 0) power |= kFirstSenseLineGood;
  if ((PortRead(state, SelectedStatusPort(state)) & lines::kSecondSenseLine) == 0) power |= kSecondSenseLineGood;
  return power;
}

int32_t PowerStatus(const PortCableState& state) { return state.selection.powerStatus; }

void ReleaseCable(PortCableState& state) {
  if (!PortSelected(state)) return;
  const uint16_t controlPort = SelectedControlPort(state);
  PortWrite(state, controlPort, lines::kReleaseControl);
  PortWrite(state, controlPort, lines::kControlIdle);
  PortWrite(state, controlPort, lines::kControlIdle);
  ReleasePortDevice(state);  // another program may use the port until the next open
}

void SetCableLines(PortCableState& state, uint8_t value) {
  if (!PortSelected(state)) return;
  PortWrite(state, SelectedDataPort(state), value);
}

void LendCableToJob(PortCableState& state) { SetPortLentToJob(state, true); }

void LetCableCatchUp(PortCableState& state) {
  SetPortLentToJob(state, false);
  DeliverHeldAccesses(state);
}
}  // namespace vantrel::cable
