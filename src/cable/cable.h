// The cable on the parallel port: finding it, its power-sense lines, and the lines it
// drives outside TAP traffic.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::cable {

inline constexpr int32_t kNoPortSelected = -1;
inline constexpr int32_t kPowerNeverRead = -1;
inline constexpr int32_t kPowerGood = 3;

// Reads lpt.ini, obtains port access once per process, then looks for the cable on
// portIndex (0 to 2) by writing 0x55 to its data port and reading it back.
// Returns kOk (the port is selected), kEmulatorNotFound (no port selected any more)
// or kNoPortAccess.
[[nodiscard]] ResultCode OpenCable(int portIndex);

int32_t SelectedPort();
uint16_t SelectedDataPort();    // valid only while a port is selected
uint16_t SelectedStatusPort();

// Reads both sense lines into PowerStatus (bit 0 first line good, bit 1 second line
// good). Returns PowerStatus, or -1 when no port is selected (PowerStatus is then 0).
int32_t ReadPowerLines();
int32_t PowerStatus();

// Writes 0x0B, 0x00, 0x00 to the control port; nothing when no port is selected.
void ReleaseCable();
// Drives the data port to value; nothing when no port is selected.
void SetCableLines(uint8_t value);

void ResetCableState();  // SelectedPort -1, PowerStatus -1, port access not yet obtained

}  // namespace vantrel::cable
