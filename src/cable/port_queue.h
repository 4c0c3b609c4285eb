// Port accesses queued so that a port with a batch entry receives a whole run of them
// (a scan, or several) in one call. Through a port without one, every access is made at
// once, as PortWrite and PortRead make it, so its traffic and timing stay as they were.
//
// A queued read yields a slot; its byte can be taken once FlushPortQueue has run, until
// ClearPortQueue. The accesses keep their order whatever the port.
//
// The queue is the parallel-port cable's (port_cable_state.h): every function takes its
// state first.
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel::cable {

struct PortCableState;

// A window of well over a hundred captured scans in one call.
inline constexpr std::size_t kPortQueueCapacity = 16384;

// Both do nothing when the queue is full: the caller keeps room with PortQueueRoom.
void QueuePortWrite(PortCableState& state, uint16_t port, uint8_t value);
std::size_t QueuePortRead(PortCableState& state, uint16_t port);

std::size_t PortQueueRoom(const PortCableState& state);
// Hands the queued accesses to the port (nothing when they were already made).
void FlushPortQueue(PortCableState& state);
// The byte a flushed read returned; 0xFF for a slot that holds no read.
uint8_t QueuedReadValue(const PortCableState& state, std::size_t slot);
// Forgets the flushed accesses: the next access starts a new run.
void ClearPortQueue(PortCableState& state);

}  // namespace vantrel::cable
