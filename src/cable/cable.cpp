#include "cable/cable.h"

#include "cable/cable_lines.h"
#include "cable/port_config.h"
#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

int32_t g_selected_port = kNoPortSelected;
int32_t g_power_status = kPowerNeverRead;

bool PortSelected() { return g_selected_port != kNoPortSelected; }
const PortAddresses& SelectedAddresses() { return PortTableEntry(g_selected_port); }

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
    g_selected_port = kNoPortSelected;
    return kEmulatorNotFound;
  }
  g_selected_port = portIndex;
  return kOk;
}

int32_t SelectedPort() { return g_selected_port; }
uint16_t SelectedDataPort() { return PortSelected() ? IoAddress(SelectedAddresses().data) : 0; }
uint16_t SelectedStatusPort() { return PortSelected() ? IoAddress(SelectedAddresses().status) : 0; }
uint16_t SelectedControlPort() { return PortSelected() ? IoAddress(SelectedAddresses().control) : 0; }

// Both sense lines are active low, and each is sampled by a read of its own.
int32_t ReadPowerLines() {
  g_power_status = 0;
  if (!PortSelected()) return -1;
  if ((PortRead(SelectedStatusPort()) & lines::kFirstSenseLine) == 0) g_power_status |= kFirstSenseLineGood;
  if ((PortRead(SelectedStatusPort()) & lines::kSecondSenseLine) == 0) g_power_status |= kSecondSenseLineGood;
  return g_power_status;
}

int32_t PowerStatus() { return g_power_status; }

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

void ResetCableState() {
  g_selected_port = kNoPortSelected;
  g_power_status = kPowerNeverRead;
  ForgetPortAccess();
}

}  // namespace vantrel::cable
