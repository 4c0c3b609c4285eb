#include "cable/port_queue.h"

#include <array>

#include "cable/port_cable_state.h"
#include "cable/port_io.h"
#include "vantrel_port.h"

namespace vantrel::cable {
namespace {

constexpr uint8_t kFloatingBus = 0xFF;

}  // namespace

void QueuePortWrite(PortCableState& state, uint16_t port, uint8_t value) {
  PortQueueState& queue = state.queue;
  if (queue.count == queue.accesses.size()) return;
  queue.accesses[queue.count] = VantrelPortAccess{port, value, 0};
  ++queue.count;
  if (PortBatchPlugged(state)) return;
  PortWrite(state, port, value);
  queue.flushed = queue.count;
}

std::size_t QueuePortRead(PortCableState& state, uint16_t port) {
  PortQueueState& queue = state.queue;
  if (queue.count == queue.accesses.size()) return queue.count;
  const std::size_t slot = queue.count;
  queue.accesses[slot] = VantrelPortAccess{port, kFloatingBus, 1};
  ++queue.count;
  if (!PortBatchPlugged(state)) {
    queue.accesses[slot].value = PortRead(state, port);
    queue.flushed = queue.count;
  }
  return slot;
}

std::size_t PortQueueRoom(const PortCableState& state) { return state.queue.accesses.size() - state.queue.count; }

void FlushPortQueue(PortCableState& state) {
  PortQueueState& queue = state.queue;
  if (queue.flushed == queue.count) return;
  RunPortBatch(state, &queue.accesses[queue.flushed], static_cast<unsigned>(queue.count - queue.flushed));
  queue.flushed = queue.count;
}

uint8_t QueuedReadValue(const PortCableState& state, std::size_t slot) {
  const PortQueueState& queue = state.queue;
  if (slot >= queue.flushed || queue.accesses[slot].isRead == 0) return kFloatingBus;
  return queue.accesses[slot].value;
}

void ClearPortQueue(PortCableState& state) {
  FlushPortQueue(state);
  state.queue.count = 0;
  state.queue.flushed = 0;
}

}  // namespace vantrel::cable
