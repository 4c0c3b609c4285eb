// Port accesses queued so that a port with a batch entry receives a whole run of them
// (a scan, or several) in one call. Through a port without one, every access is made at
// once, as PortWrite and PortRead make it, so its traffic and timing stay as they were.
//
// A queued read yields a slot; its byte can be taken once FlushPortQueue has run, until
// ClearPortQueue. The accesses keep their order whatever the port.
//
// Not thread-safe: the host interface lets one thread at a time into the cable layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel::cable {

// A window of well over a hundred captured scans in one call.
inline constexpr std::size_t kPortQueueCapacity = 16384;

// Both do nothing when the queue is full: the caller keeps room with PortQueueRoom.
void QueuePortWrite(uint16_t port, uint8_t value);
std::size_t QueuePortRead(uint16_t port);

std::size_t PortQueueRoom();
// Hands the queued accesses to the port (nothing when they were already made).
void FlushPortQueue();
// The byte a flushed read returned; 0xFF for a slot that holds no read.
uint8_t QueuedReadValue(std::size_t slot);
// Forgets the flushed accesses: the next access starts a new run.
void ClearPortQueue();

}  // namespace vantrel::cable
