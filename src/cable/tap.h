// The bit-banged TAP driver: every TCK cycle is made by port writes on the selected
// cable. All operations do nothing (and capture zeros) while no port is selected.
//
// ScanIR and ScanDR must start in Run-Test/Idle, Update-IR or Update-DR. With toIdle
// they end in Run-Test/Idle, otherwise in Update-IR / Update-DR. TCK is low after each.
#pragma once

#include <cstdint>

namespace vantrel::cable {

// One TCK cycle; returns the TDO bit sampled while TCK was low.
int TapClock(int tdi, int tms, int fallingEdge);

// Shifts bitCount bits (at least 1) in Shift-IR/Shift-DR, leaving in Exit1 with the
// last bit. tdiWords null: zeros are shifted. tdoWords null: nothing is stored.
void ShiftBits(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords);

// Returns the irLength (1 to 32) bits captured while the instruction was shifted.
uint32_t ScanIR(int irLength, uint32_t instruction, int toIdle);

void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int toIdle);

// Eight TMS-high cycles to Test-Logic-Reset; with toIdle one more to Run-Test/Idle.
// TapActive becomes toIdle.
void TapReset(int toIdle);

// Holds the target's reset line low for 100 ms, then resets the TAP into Run-Test/Idle.
// Returns 0, or 1 when no port is selected (nothing is touched).
int PulseCableReset();

// 1 when the last TAP reset left the TAP in Run-Test/Idle, 0 in Test-Logic-Reset.
int TapActive();
void SetTapActive(int active);

}  // namespace vantrel::cable
