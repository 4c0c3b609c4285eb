// The cable on the parallel port: finding it, its power-sense lines, and the lines it
// drives outside TAP traffic. Every function takes the parallel-port cable's state first.
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstdint>

#include "cable/jtag_cable.h"
#include "common/result_code.h"

namespace vantrel::cable {

inline constexpr int32_t kNoPortSelected = -1;

struct PortCableState;

// Reads lpt.ini, obtains port access once per process, then looks for the cable on
// portIndex (0 to 2) by writing 0x55 to its data port and reading it back; the byte
// stays on the cable's lines until the next write.
// Returns kOk (the port is selected), kEmulatorNotFound (no port selected any more,
// even one an earlier call had found), kNoPortAccess (SelectedPort unchanged) or
// kInvalidParameters for an index outside 0 to 2 (nothing read, nothing touched).
[[nodiscard]] ResultCode OpenCable(PortCableState& state, int portIndex);

int32_t SelectedPort(const PortCableState& state);
// Low 16 bits of the selected port's addresses; 0 while no port is selected.
uint16_t SelectedDataPort(const PortCableState& state);
uint16_t SelectedStatusPort(const PortCableState& state);
uint16_t SelectedControlPort(const PortCableState& state);

// Reads both sense lines into PowerStatus (bit 0 first line good, bit 1 second line
// good). Returns PowerStatus, or -1 when no port is selected (PowerStatus is then 0).
int32_t ReadPowerLines(PortCableState& state);
int32_t PowerStatus(const PortCableState& state);

// Writes 0x0B, 0x00, 0x00 to the control port, then lets go of a port device; nothing
// when no port is selected. The port stays selected.
void ReleaseCable(PortCableState& state);
// Drives the data port to value; nothing when no port is selected.
void SetCableLines(PortCableState& state, uint8_t value);

// A background job is about to drive the cable from its own thread: until it ends, the
// end of an export call leaves the port to it.
void LendCableToJob(PortCableState& state);
// The job has ended and the library goes idle: a port that holds write-only runs back
// delivers them now.
void LetCableCatchUp(PortCableState& state);

}  // namespace vantrel::cable
