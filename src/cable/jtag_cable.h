// The seam between the debug core and the cable that carries its JTAG traffic: whole
// scans, the reset pulse and the sense lines. The parallel-port cable is one
// implementation (parallel_port_cable.h); cable_registry.h chooses the active one.
//
// Scans start in Run-Test/Idle, Update-IR or Update-DR and end where ScanEnd says. Bits
// are held as in bit_vector.h: bit i is bit (i mod 32) of word (i div 32), bit 0 first.
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstdint>
#include <string_view>

#include "cable/tap_path.h"
#include "common/result_code.h"
#include "vantrel.h"

namespace vantrel::cable {

inline constexpr int32_t kPowerNeverRead = -1;
inline constexpr int32_t kFirstSenseLineGood = VANTREL_POWER_FIRST_LINE_GOOD;
inline constexpr int32_t kSecondSenseLineGood = VANTREL_POWER_SECOND_LINE_GOOD;
inline constexpr int32_t kPowerGood = kFirstSenseLineGood | kSecondSenseLineGood;

class Cable {
 public:
  Cable() = default;
  Cable(const Cable&) = delete;
  Cable& operator=(const Cable&) = delete;

  // Finds the cable on the named port. kOk, kEmulatorNotFound, kNoPortAccess, or
  // kInvalidParameters for a name the cable does not know (nothing touched then).
  [[nodiscard]] virtual ResultCode Open(std::string_view portName) = 0;
  virtual bool Opened() const = 0;
  // Lets go of the lines and of any device held; the cable stays opened.
  virtual void Release() = 0;
  // Drives every output low, the target's reset included.
  virtual void DriveLinesLow() = 0;
  // The library is about to unload: leave the TAP in reset where that is still safe.
  virtual void LeaveAtUnload() = 0;

  // A background job drives the cable from its own thread until CatchUp; GoIdle says an
  // export call ends, so that nothing held back stays behind.
  virtual void LendToJob() = 0;
  virtual void CatchUp() = 0;
  virtual void GoIdle() = 0;

  virtual void ResetTap(TapResetEnd end) = 0;
  // Returns the irLength (1 to 32) bits captured; another length does nothing, returns 0.
  virtual uint32_t ScanIR(int irLength, uint32_t instruction, ScanEnd end) = 0;
  // Keeps the first capturedBits bits in tdoWords (null: none), the rest stored as 0.
  // tdiWords null shifts zeros. A bitCount below 1 does nothing.
  virtual void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits, ScanEnd end) = 0;
  // ScanDR whose captures (and a power loss they show) may arrive only at
  // ResolveCaptures or the next other operation; tdoWords must stay valid until then.
  virtual void ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                              ScanEnd end) = 0;
  virtual void ResolveCaptures() = 0;
  // Between these, clocks whose TDO nobody keeps need not sample it (they nest).
  virtual void BeginUnreadTdo() = 0;
  virtual void EndUnreadTdo() = 0;
  // Pulses the target's reset line, then resets the TAP into Run-Test/Idle.
  // kOk, or kEmulatorNotFound when no cable is opened (nothing touched).
  [[nodiscard]] virtual ResultCode PulseReset() = 0;

  // TAP resets made since load: a caller that follows what the TAP holds can tell.
  virtual uint32_t TapResetCount() const = 0;
  // Whether the last TAP reset left the TAP in Run-Test/Idle.
  virtual bool TapActive() const = 0;
  virtual void SetTapActive(bool active) = 0;

  // Samples the power-sense lines: VANTREL_POWER_* bits, or -1 with no cable opened.
  virtual int32_t ReadPowerLines() = 0;
  // The last sample: VANTREL_POWER_* bits, kPowerNeverRead before the first.
  virtual int32_t PowerStatus() const = 0;
  // Set once any TAP traffic showed a power-sense line bad, until cleared.
  virtual bool PowerLossSeen() const = 0;
  virtual void ClearPowerLossSeen() = 0;

  // The session owns its cable and deletes it through this interface.
  virtual ~Cable() = default;
};

// A power reading was taken and showed a sense line bad. A host that never asked for
// the power lines must not lose its target over that.
inline bool PowerReadBad(const Cable& cable) {
  const int32_t power = cable.PowerStatus();
  return power != kPowerGood && power != kPowerNeverRead;
}

// While one lives, the active cable may skip sampling TDO on clocks nobody reads.
class UnreadTdoScope {
 public:
  explicit UnreadTdoScope(Cable& cable);
  ~UnreadTdoScope();
  UnreadTdoScope(const UnreadTdoScope&) = delete;
  UnreadTdoScope& operator=(const UnreadTdoScope&) = delete;

 private:
  Cable& cable_;
};

}  // namespace vantrel::cable
