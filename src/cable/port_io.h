// The one seam through which every port access of the library goes: the hardware's
// IN and OUT instructions, the system's port device, or a virtual port plugged in with
// VantrelUsePortIo or VantrelUsePortBatch. Each access is followed by the PortDelay
// busy-wait, which paces the TAP clock.
//
// Each function takes the parallel-port cable's state first (port_cable_state.h).
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "platform/platform.h"
#include "vantrel_port.h"

namespace vantrel::cable {

struct PortCableState;

// One byte-wide access, at once and unbuffered, then PortDelay empty loop iterations.
void PortWrite(PortCableState& state, uint16_t port, uint8_t value);
uint8_t PortRead(PortCableState& state, uint16_t port);

// One attempt to obtain port access: through the virtual port's acquire callback when
// one is plugged in (0 granted, anything else: ask again later), otherwise from the
// platform.
[[nodiscard]] platform::PortAccess RequestPortAccess(const PortCableState& state);

// Obtains access to port portIndex (0 to 2): up to 101 attempts 10 ms apart while the
// answer is "ask again later". A virtual port, and IN and OUT, are obtained once per
// process; a port device (lpt.ini's "lpt1=/dev/parport0", or the automatic choice when
// the process may not use IN and OUT) is opened and claimed here and held until
// ReleasePortDevice. Returns kOk, or kNoPortAccess when the attempts run out or access
// is refused, with a trace line naming the way and the reason (nothing is remembered
// then, so the next call tries again).
inline constexpr int kPortAccessAttempts = 101;
inline constexpr unsigned kPortAccessRetryMs = 10;
[[nodiscard]] ResultCode ObtainPortAccess(PortCableState& state, int portIndex);
bool PortAccessObtained(const PortCableState& state);
void ForgetPortAccess(PortCableState& state);
// Lets go of a port device and closes it; until the next ObtainPortAccess the hardware
// reads 0xFF and drops writes. IN and OUT, once granted, stay.
void ReleasePortDevice(PortCableState& state);

// Null: back to the hardware. The structure is copied. A missing read callback reads
// 0xFF (a floating bus), a missing write callback drops the byte, a missing acquire
// callback grants access. Either way the access obtained so far is forgotten, so the
// next OpenCable asks the new port.
// batch: the port's entry for a run of accesses in one call, or null (the port takes one
// access at a time); ignored without io.
void UsePortIo(PortCableState& state, const VantrelPortIo* io, VantrelPortBatch batch = nullptr);
bool VirtualPortPlugged(const PortCableState& state);
bool PortBatchPlugged(const PortCableState& state);
// count accesses through the batch entry, in order, then the PortDelay busy-wait for each.
void RunPortBatch(PortCableState& state, VantrelPortAccess* accesses, unsigned count);
// Tells a port with a batch entry that the library goes idle (an empty run), so that it
// delivers the write-only runs it may have held back; nothing for other ports, and
// nothing while the port is lent to a background job, whose own thread drives it then.
void DeliverHeldAccesses(PortCableState& state);
// Set from before a job's thread starts until the job has ended; any thread may ask.
void SetPortLentToJob(PortCableState& state, bool lent);

// The busy-wait costs well under a nanosecond per iteration on a current PC, so the
// bound still allows a TCK of a few kilohertz, while a delay line with a huge number
// can no longer make a connect last for days.
inline constexpr int32_t kMaxPortDelay = 100000;
int32_t PortDelay(const PortCableState& state);
void SetPortDelay(PortCableState& state, int32_t loops);  // negative values become 0, larger ones kMaxPortDelay

}  // namespace vantrel::cable
