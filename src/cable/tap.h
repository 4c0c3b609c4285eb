// The bit-banged TAP driver: every TCK cycle is made by port writes on the selected
// cable. All operations do nothing (and capture zeros) while no port is selected.
//
// ScanIR and ScanDR must start in Run-Test/Idle, Update-IR or Update-DR and end where
// their ScanEnd says. TCK is low after each. The tdi and tms bits count as set when they
// are not 0.
//
// Each operation's accesses are queued and reach a port with a batch entry as one run
// (port_queue.h); any other port gets them one at a time, as they are made.
//
// Port accesses, each followed by the PortDelay busy-wait (n = bits shifted):
//   TapReset 32 (+4 into Run-Test/Idle), ScanIR 3n + 21 (+4 ending in Run-Test/Idle),
//   ScanDR 3n + 17 (+4 ending in Run-Test/Idle).
//
// The TAP's state is the parallel-port cable's (port_cable_state.h): every function takes
// it first.
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstdint>

#include "cable/tap_path.h"
#include "common/result_code.h"

namespace vantrel::cable {

struct PortCableState;

// One TCK cycle: TMS and TDI presented with TCK low, TDO sampled, TCK raised, and
// lowered again when tckEnd says so. Returns the TDO bit (0 with no port selected).
int TapClock(PortCableState& state, int tdi, int tms, TckEnd tckEnd);

// Shifts bitCount bits (at least 1) in Shift-IR/Shift-DR, leaving in Exit1 with the
// last bit. Bit i is bit (i mod 32) of word (i div 32), bit 0 first; both arrays hold
// ceil(bitCount / 32) words, the captured bits above bitCount are 0.
// tdiWords null: zeros are shifted. tdoWords null: nothing is stored.
// A bitCount below 1 does nothing.
void ShiftBits(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords);

// Returns the irLength (1 to 32) bits captured while the instruction was shifted.
// Another irLength does nothing and returns 0.
uint32_t ScanIR(PortCableState& state, int irLength, uint32_t instruction, ScanEnd end);

// tdiWords and tdoWords as for ShiftBits. A bitCount below 1 does nothing.
void ScanDR(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, ScanEnd end);

// ScanDR that keeps only the first capturedBits bits (tdoWords as for ShiftBits, the
// bits from capturedBits on stored as 0). Under FastClocks the other bits cost no read.
void ScanDRCapturingFirst(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords,
                          int capturedBits, ScanEnd end);

// ScanDRCapturingFirst whose captured bits may arrive later, so that a port with a batch
// entry takes a run of such scans in one call and one round trip: tdoWords holds them (and
// a lost power-sense line shows in PowerLossSeen) only once ResolveTapCaptures, or any
// other operation here, has run. tdoWords must stay valid until then.
void ScanDRDeferred(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                    ScanEnd end);
void ResolveTapCaptures(PortCableState& state);

// While one of these lives, a cycle whose TDO nobody keeps skips the status read, and
// TCK is lowered by the next cycle's first write instead of one of its own: two accesses
// per such cycle rather than three or four. Cycles that capture still read the status
// byte, and with it the power-sense lines. On the way out TCK is left low, as every
// operation leaves it. An inner one changes nothing; the outermost one ends the mode.
// Without one, the traffic is the exact traffic described above.
// BeginFastClocks and EndFastClocks are the same without the scope; they must pair.
void BeginFastClocks(PortCableState& state);
void EndFastClocks(PortCableState& state);
class FastClocks {
 public:
  explicit FastClocks(PortCableState& state);
  ~FastClocks();
  FastClocks(const FastClocks&) = delete;
  FastClocks& operator=(const FastClocks&) = delete;

 private:
  PortCableState& state_;
};

// Eight TMS-high cycles (TDI high) to Test-Logic-Reset from any state; for
// kRunTestIdle one more to Run-Test/Idle. TapActive says whether the TAP went on to
// Run-Test/Idle, even with no port selected.
void TapReset(PortCableState& state, TapResetEnd end);

// Holds the target's reset line low for 100 ms, then resets the TAP into Run-Test/Idle.
// Returns kOk, or kEmulatorNotFound when no port is selected (nothing is touched).
[[nodiscard]] ResultCode PulseCableReset(PortCableState& state);

// Set once a status read of a TAP cycle showed either power-sense line bad, until
// cleared. Every cycle reads the status byte for TDO, and the same byte carries both sense
// lines, so this costs no access of its own; an unplugged cable reads 0xFF, which shows
// both lines bad.
bool PowerLossSeen(const PortCableState& state);
void ClearPowerLossSeen(PortCableState& state);

// How many TAP resets have been made since load (TapReset, PulseCableReset included): a
// caller that follows what the TAP holds can tell that it was reset meanwhile.
uint32_t TapResetCount(const PortCableState& state);

// True when the last TAP reset left the TAP in Run-Test/Idle, false in Test-Logic-Reset.
bool TapActive(const PortCableState& state);
void SetTapActive(PortCableState& state, bool active);

}  // namespace vantrel::cable
