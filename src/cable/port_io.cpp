#include "cable/port_io.h"

#include <array>
#include <atomic>
#include <string>

#include "cable/port_config.h"
#include "platform/port_device.h"
#include "platform/trace.h"

namespace vantrel::cable {
namespace {

// How the hardware is reached while access is held: IN and OUT (once granted, for the
// rest of the process), or the port device opened for one port.
enum class HardwareWay { kNone, kDirect, kDevice };

bool g_access_obtained = false;
HardwareWay g_way = HardwareWay::kNone;
bool g_direct_granted = false;

// The port device serves one port: the cable's addresses of that port pick the register.
struct DevicePort {
  int portIndex = kNoDevicePort;
  uint16_t data = 0;
  uint16_t status = 0;
  uint16_t control = 0;
  static constexpr int kNoDevicePort = -1;
};
DevicePort g_device;
// Plain storage: the unload's TAP reset may still name the device in a trace line while
// the library's static objects are torn down. A path comes from one lpt.ini line.
std::array<char, kConfigLineBufferSize> g_device_path{};

bool HoldingDevice(int portIndex, const std::string& path) {
  return g_way == HardwareWay::kDevice && g_device.portIndex == portIndex && path == g_device_path.data();
}

void NoteDevicePath(const std::string& path) {
  g_device_path.fill('\0');
  path.copy(g_device_path.data(), g_device_path.size() - 1);
}

unsigned char FloatingBusRead(void*, unsigned short) { return 0xFF; }
void DroppedWrite(void*, unsigned short, unsigned char) {}

bool DeviceRegister(uint16_t port, platform::PortRegister& which) {
  if (port == g_device.data) which = platform::PortRegister::kData;
  else if (port == g_device.status) which = platform::PortRegister::kStatus;
  else if (port == g_device.control) which = platform::PortRegister::kControl;
  else return false;
  return true;
}

// A device that fails a call has gone away (unplugged, its driver unloaded): it is let
// go at once, so the rest of the transfer sees an empty port, as with a pulled cable,
// and the next OpenCable opens it again.
void LoseDevice(const std::string& why) {
  Trace("lpt%d: %s lost, %s\n", g_device.portIndex + 1, g_device_path.data(), why.c_str());
  platform::ClosePortDevice();
  g_way = HardwareWay::kNone;
  g_access_obtained = false;
}

uint8_t DeviceRead(uint16_t port) {
  platform::PortRegister which{};
  if (!DeviceRegister(port, which)) return 0xFF;
  uint8_t value = 0xFF;
  std::string failure;
  if (!platform::PortDeviceRead(which, value, failure)) LoseDevice(failure);
  return value;
}

void DeviceWrite(uint16_t port, uint8_t value) {
  platform::PortRegister which{};
  if (!DeviceRegister(port, which)) return;
  std::string failure;
  if (!platform::PortDeviceWrite(which, value, failure)) LoseDevice(failure);
}

// IN and OUT fault in a process without port access. A cable can still be selected when
// the host switches back from a virtual port to the hardware, or after the cable was
// released, so until OpenCable has obtained access again the hardware behaves as an
// empty port instead of crashing.
unsigned char HardwareRead(void*, unsigned short port) {
  switch (g_way) {
    case HardwareWay::kDirect: return platform::HardwarePortRead(port);
    case HardwareWay::kDevice: return DeviceRead(port);
    case HardwareWay::kNone: break;
  }
  return 0xFF;
}
void HardwareWrite(void*, unsigned short port, unsigned char value) {
  switch (g_way) {
    case HardwareWay::kDirect: platform::HardwarePortWrite(port, value); break;
    case HardwareWay::kDevice: DeviceWrite(port, value); break;
    case HardwareWay::kNone: break;
  }
}

constexpr VantrelPortIo kHardwareIo{nullptr, nullptr, &HardwareRead, &HardwareWrite};

// Both callbacks are always set, so an access is one indirect call.
VantrelPortIo g_io = kHardwareIo;
VantrelPortBatch g_batch = nullptr;
// The entry thread's end of call must not reach a port that a job's thread is driving.
std::atomic<bool> g_lent_to_job{false};
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

// Up to kPortAccessAttempts requests 10 ms apart while the answer is "ask again later".
template <typename Request>
platform::PortAccess Attempt(Request request) {
  for (int attempt = 1;; ++attempt) {
    const platform::PortAccess answer = request();
    if (answer != platform::PortAccess::kRetry || attempt == kPortAccessAttempts) return answer;
    platform::SleepMilliseconds(kPortAccessRetryMs);
  }
}

void UseDirectAccess() {
  platform::ClosePortDevice();
  g_way = HardwareWay::kDirect;
  g_access_obtained = true;
}

void GrantDirectAccess(int portIndex) {
  g_direct_granted = true;
  Trace("lpt%d: port at 0x%x reached with IN and OUT\n", portIndex + 1, IoAddress(PortTableEntry(portIndex).data));
}

ResultCode ObtainDirectAccess(int portIndex) {
  if (!g_direct_granted) {
    if (Attempt(&platform::RequestHardwarePortAccess) != platform::PortAccess::kGranted) {
      Trace("lpt%d: no port access with IN and OUT at 0x%x\n", portIndex + 1,
            IoAddress(PortTableEntry(portIndex).data));
      return kNoPortAccess;
    }
    GrantDirectAccess(portIndex);
  }
  UseDirectAccess();
  return kOk;
}

void NoteDevicePort(int portIndex) {
  const PortAddresses& addresses = PortTableEntry(portIndex);
  g_device = {portIndex, IoAddress(addresses.data), IoAddress(addresses.status), IoAddress(addresses.control)};
}

ResultCode ObtainDeviceAccess(int portIndex, const std::string& path) {
  if (HoldingDevice(portIndex, path)) {
    NoteDevicePort(portIndex);  // lpt.ini may have moved the addresses meanwhile
    return kOk;
  }
  g_way = HardwareWay::kNone;
  g_access_obtained = false;
  std::string failure;
  const platform::PortAccess answer = Attempt([&] { return platform::OpenPortDevice(path, failure); });
  if (answer != platform::PortAccess::kGranted) {
    Trace("lpt%d: no port access through %s\n", portIndex + 1, failure.c_str());
    return kNoPortAccess;
  }
  NoteDevicePath(path);
  NoteDevicePort(portIndex);
  g_way = HardwareWay::kDevice;
  g_access_obtained = true;
  Trace("lpt%d: port reached through %s\n", portIndex + 1, path.c_str());
  return kOk;
}

// With no line for the port: IN and OUT when the process may use them, else the port
// device of the same number, on systems that have such devices.
ResultCode ObtainAutomaticAccess(int portIndex) {
  if (!platform::PortDevicesSupported() || g_direct_granted) return ObtainDirectAccess(portIndex);
  if (platform::RequestHardwarePortAccess() == platform::PortAccess::kGranted) {
    GrantDirectAccess(portIndex);
    UseDirectAccess();
    return kOk;
  }
  return ObtainDeviceAccess(portIndex, DefaultPortDevice(portIndex));
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

ResultCode ObtainPortAccess(int portIndex) {
  if (g_virtual_port) {
    if (g_access_obtained) return kOk;
    if (Attempt(&RequestPortAccess) != platform::PortAccess::kGranted) return kNoPortAccess;
    g_access_obtained = true;
    return kOk;
  }
  switch (ConfiguredPortWay(portIndex)) {
    case PortWay::kDirect: return ObtainDirectAccess(portIndex);
    case PortWay::kDevice: return ObtainDeviceAccess(portIndex, ConfiguredPortDevice(portIndex));
    case PortWay::kAutomatic: break;
  }
  return ObtainAutomaticAccess(portIndex);
}

bool PortAccessObtained() { return g_access_obtained; }

void ForgetPortAccess() {
  ReleasePortDevice();
  g_access_obtained = false;
  g_direct_granted = false;
  g_way = HardwareWay::kNone;
}

void ReleasePortDevice() {
  if (g_way != HardwareWay::kDevice) return;
  platform::ClosePortDevice();
  g_way = HardwareWay::kNone;
  g_access_obtained = false;
}

void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) {
  DeliverHeldAccesses();  // the old port's, before it is let go
  if (io == nullptr) {
    g_io = kHardwareIo;
    g_batch = nullptr;
    g_virtual_port = false;
  } else {
    g_io = *io;
    if (g_io.read == nullptr) g_io.read = &FloatingBusRead;
    if (g_io.write == nullptr) g_io.write = &DroppedWrite;
    g_batch = batch;
    g_virtual_port = true;
  }
  ForgetPortAccess();
}

bool VirtualPortPlugged() { return g_virtual_port; }
bool PortBatchPlugged() { return g_batch != nullptr; }

void RunPortBatch(VantrelPortAccess* accesses, unsigned count) {
  if (count == 0 || g_batch == nullptr) return;
  g_batch(g_io.context, accesses, count);
  for (unsigned i = 0; i < count; ++i) BusyWait();
}

void DeliverHeldAccesses() {
  if (g_batch != nullptr && !g_lent_to_job.load()) g_batch(g_io.context, nullptr, 0);
}

void SetPortLentToJob(bool lent) { g_lent_to_job.store(lent); }

int32_t PortDelay() { return g_port_delay; }
void SetPortDelay(int32_t loops) { g_port_delay = loops < 0 ? 0 : (loops > kMaxPortDelay ? kMaxPortDelay : loops); }

void ResetPortIo() {
  UsePortIo(nullptr);
  g_port_delay = 0;
}

}  // namespace vantrel::cable
