#include "cable/cable.h"

#include "cable/cable_lines.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

CableSelection& Selection() { return PortState().selection; }

bool PortSelected() { return Selection().selectedPort != kNoPortSelected; }
const PortAddresses& SelectedAddresses() { return PortTableEntry(Selection().selectedPort); }

bool PortHoldsTestByte(int portIndex) {
  const uint16_t dataPort = IoAddress(PortTableEntry(portIndex).data);
  PortWrite(dataPort, lines::kPresenceTestByte);
  return PortRead(dataPort) == lines::kPresenceTestByte;
}

}  // namespace

ResultCode OpenCable(int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return kInvalidParameters;
  LoadPortConfig();
  if (const ResultCode access = ObtainPortAccess(portIndex); access != kOk) return access;
  if (!PortHoldsTestByte(portIndex)) {
    Selection().selectedPort = kNoPortSelected;
    return kEmulatorNotFound;
  }
  Selection().selectedPort = portIndex;
  return kOk;
}

int32_t SelectedPort() { return Selection().selectedPort; }
uint16_t SelectedDataPort() { return PortSelected() ? IoAddress(SelectedAddresses().data) : 0; }
uint16_t SelectedStatusPort() { return PortSelected() ? IoAddress(SelectedAddresses().status) : 0; }
uint16_t SelectedControlPort() { return PortSelected() ? IoAddress(SelectedAddresses().control) : 0; }

// Both sense lines are active low, and each is sampled by a read of its own.
int32_t ReadPowerLines() {
  int32_t& power = Selection().powerStatus;
  power = 0;
  if (!PortSelected()) return -1;
  if ((PortRead(SelectedStatusPort()) & lines::kFirstSenseLine) == 0) power |= kFirstSenseLineGood;
  if ((PortRead(SelectedStatusPort()) & lines::kSecondSenseLine) == 0) power |= kSecondSenseLineGood;
  return power;
}

int32_t PowerStatus() { return Selection().powerStatus; }

void ReleaseCable() {
  if (!PortSelected()) return;
  const uint16_t controlPort = SelectedControlPort();
  PortWrite(controlPort, lines::kReleaseControl);
  PortWrite(controlPort, lines::kControlIdle);
  PortWrite(controlPort, lines::kControlIdle);
  ReleasePortDevice();  // another program may use the port until the next open
}

void SetCableLines(uint8_t value) {
  if (!PortSelected()) return;
  PortWrite(SelectedDataPort(), value);
}

void LendCableToJob() { SetPortLentToJob(true); }

void LetCableCatchUp() {
  SetPortLentToJob(false);
  DeliverHeldAccesses();
}
}  // namespace vantrel::cable
