#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

bool g_access_obtained = false;

unsigned char FloatingBusRead(void*, unsigned short) { return 0xFF; }
void DroppedWrite(void*, unsigned short, unsigned char) {}

// IN and OUT fault in a process without port access. A cable can still be selected when
// the host switches back from a virtual port to the hardware, so until OpenCable has
// obtained access again the hardware behaves as an empty port instead of crashing.
unsigned char HardwareRead(void* context, unsigned short port) {
  return g_access_obtained ? platform::HardwarePortRead(port) : FloatingBusRead(context, port);
}
void HardwareWrite(void*, unsigned short port, unsigned char value) {
  if (g_access_obtained) platform::HardwarePortWrite(port, value);
}

constexpr VantrelPortIo kHardwareIo{nullptr, nullptr, &HardwareRead, &HardwareWrite};

// Both callbacks are always set, so an access is one indirect call.
VantrelPortIo g_io = kHardwareIo;
bool g_virtual_port = false;
int32_t g_port_delay = 0;

// The loop count is the whole of the TCK pacing, so the optimiser must keep every
// iteration: the empty asm statement is a side effect it may not drop or merge.
inline void BusyWait() {
  for (int32_t remaining = g_port_delay; remaining > 0; --remaining) {
#if defined(__GNUC__)
    __asm__ __volatile__("");
#else
    static volatile int32_t sink;
    sink = remaining;
#endif
  }
}

}  // namespace

void PortWrite(uint16_t port, uint8_t value) {
  g_io.write(g_io.context, port, value);
  BusyWait();
}

uint8_t PortRead(uint16_t port) {
  const uint8_t value = g_io.read(g_io.context, port);
  BusyWait();
  return value;
}

platform::PortAccess RequestPortAccess() {
  if (!g_virtual_port) return platform::RequestHardwarePortAccess();
  if (g_io.acquire == nullptr) return platform::PortAccess::kGranted;
  return g_io.acquire(g_io.context) == 0 ? platform::PortAccess::kGranted : platform::PortAccess::kRetry;
}

ResultCode ObtainPortAccess() {
  if (g_access_obtained) return kOk;
  for (int attempt = 1;; ++attempt) {
    switch (RequestPortAccess()) {
      case platform::PortAccess::kGranted: g_access_obtained = true; return kOk;
      case platform::PortAccess::kRefused: return kNoPortAccess;
      case platform::PortAccess::kRetry: break;
    }
    if (attempt == kPortAccessAttempts) return kNoPortAccess;
    platform::SleepMilliseconds(kPortAccessRetryMs);
  }
}

bool PortAccessObtained() { return g_access_obtained; }
void ForgetPortAccess() { g_access_obtained = false; }

void UsePortIo(const VantrelPortIo* io) {
  if (io == nullptr) {
    g_io = kHardwareIo;
    g_virtual_port = false;
  } else {
    g_io = *io;
    if (g_io.read == nullptr) g_io.read = &FloatingBusRead;
    if (g_io.write == nullptr) g_io.write = &DroppedWrite;
    g_virtual_port = true;
  }
  ForgetPortAccess();
}

bool VirtualPortPlugged() { return g_virtual_port; }

int32_t PortDelay() { return g_port_delay; }
void SetPortDelay(int32_t loops) { g_port_delay = loops < 0 ? 0 : (loops > kMaxPortDelay ? kMaxPortDelay : loops); }

void ResetPortIo() {
  UsePortIo(nullptr);
  g_port_delay = 0;
}

}  // namespace vantrel::cable
