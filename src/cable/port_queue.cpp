#include "cable/port_queue.h"

#include <array>

#include "cable/port_io.h"
#include "vantrel_port.h"

namespace vantrel::cable {
namespace {

constexpr uint8_t kFloatingBus = 0xFF;

std::array<VantrelPortAccess, kPortQueueCapacity> g_accesses{};
std::size_t g_count = 0;
std::size_t g_flushed = 0;  // the accesses before this one have been made

}  // namespace

void QueuePortWrite(uint16_t port, uint8_t value) {
  if (g_count == g_accesses.size()) return;
  g_accesses[g_count] = VantrelPortAccess{port, value, 0};
  ++g_count;
  if (PortBatchPlugged()) return;
  PortWrite(port, value);
  g_flushed = g_count;
}

std::size_t QueuePortRead(uint16_t port) {
  if (g_count == g_accesses.size()) return g_count;
  const std::size_t slot = g_count;
  g_accesses[slot] = VantrelPortAccess{port, kFloatingBus, 1};
  ++g_count;
  if (!PortBatchPlugged()) {
    g_accesses[slot].value = PortRead(port);
    g_flushed = g_count;
  }
  return slot;
}

std::size_t PortQueueRoom() { return g_accesses.size() - g_count; }

void FlushPortQueue() {
  if (g_flushed == g_count) return;
  RunPortBatch(&g_accesses[g_flushed], static_cast<unsigned>(g_count - g_flushed));
  g_flushed = g_count;
}

uint8_t QueuedReadValue(std::size_t slot) {
  if (slot >= g_flushed || g_accesses[slot].isRead == 0) return kFloatingBus;
  return g_accesses[slot].value;
}

void ClearPortQueue() {
  FlushPortQueue();
  g_count = 0;
  g_flushed = 0;
}

}  // namespace vantrel::cable
