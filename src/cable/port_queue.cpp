#include "cable/port_queue.h"

#include <array>

#include "cable/port_cable_state.h"
#include "cable/port_io.h"
#include "vantrel_port.h"

namespace vantrel::cable {
namespace {

constexpr uint8_t kFloatingBus = 0xFF;

PortQueueState& Queue() { return PortState().queue; }

}  // namespace

void QueuePortWrite(uint16_t port, uint8_t value) {
  PortQueueState& queue = Queue();
  if (queue.count == queue.accesses.size()) return;
  queue.accesses[queue.count] = VantrelPortAccess{port, value, 0};
  ++queue.count;
  if (PortBatchPlugged()) return;
  PortWrite(port, value);
  queue.flushed = queue.count;
}

std::size_t QueuePortRead(uint16_t port) {
  PortQueueState& queue = Queue();
  if (queue.count == queue.accesses.size()) return queue.count;
  const std::size_t slot = queue.count;
  queue.accesses[slot] = VantrelPortAccess{port, kFloatingBus, 1};
  ++queue.count;
  if (!PortBatchPlugged()) {
    queue.accesses[slot].value = PortRead(port);
    queue.flushed = queue.count;
  }
  return slot;
}

std::size_t PortQueueRoom() { return Queue().accesses.size() - Queue().count; }

void FlushPortQueue() {
  PortQueueState& queue = Queue();
  if (queue.flushed == queue.count) return;
  RunPortBatch(&queue.accesses[queue.flushed], static_cast<unsigned>(queue.count - queue.flushed));
  queue.flushed = queue.count;
}

uint8_t QueuedReadValue(std::size_t slot) {
  const PortQueueState& queue = Queue();
  if (slot >= queue.flushed || queue.accesses[slot].isRead == 0) return kFloatingBus;
  return queue.accesses[slot].value;
}

void ClearPortQueue() {
  FlushPortQueue();
  Queue().count = 0;
  Queue().flushed = 0;
}

}  // namespace vantrel::cable
