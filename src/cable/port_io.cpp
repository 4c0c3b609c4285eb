#include "cable/port_io.h"

#include <array>
#include <atomic>
#include <string>

#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "platform/port_device.h"
#include "platform/trace.h"

namespace vantrel::cable {
namespace {

bool HoldingDevice(const PortCableState& state, int portIndex, const std::string& path) {
  const PortAccessState& access = state.access;
  return access.way == HardwareWay::kDevice && access.device.portIndex == portIndex && path == access.devicePath.data();
}

void NoteDevicePath(PortCableState& state, const std::string& path) {
  std::array<char, kConfigLineBufferSize>& stored = state.access.devicePath;
  stored.fill('\0');
  path.copy(stored.data(), stored.size() - 1);
}

unsigned char FloatingBusRead(void*, unsigned short) { return 0xFF; }
void DroppedWrite(void*, unsigned short, unsigned char) {}

bool DeviceRegister(const PortCableState& state, uint16_t port, platform::PortRegister& which) {
  const DevicePort& device = state.access.device;
  if (port == device.data) which = platform::PortRegister::kData;
  else if (port == device.status) which = platform::PortRegister::kStatus;
  else if (port == device.control) which = platform::PortRegister::kControl;
  else return false;
  return true;
}

// A device that fails a call has gone away (unplugged, its driver unloaded): it is let
// go at once, so the rest of the transfer sees an empty port, as with a pulled cable,
// and the next OpenCable opens it again.
void LoseDevice(PortCableState& state, const std::string& why) {
  PortAccessState& access = state.access;
  Trace("lpt%d: %s lost, %s\n", access.device.portIndex + 1, access.devicePath.data(), why.c_str());
  platform::ClosePortDevice();
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
}

uint8_t DeviceRead(PortCableState& state, uint16_t port) {
  platform::PortRegister which{};
  if (!DeviceRegister(state, port, which)) return 0xFF;
  uint8_t value = 0xFF;
  std::string failure;
  if (!platform::PortDeviceRead(which, value, failure)) LoseDevice(state, failure);
  return value;
}

void DeviceWrite(PortCableState& state, uint16_t port, uint8_t value) {
  platform::PortRegister which{};
  if (!DeviceRegister(state, port, which)) return;
  std::string failure;
  if (!platform::PortDeviceWrite(which, value, failure)) LoseDevice(state, failure);
}

// IN and OUT fault in a process without port access. A cable can still be selected when
// the host switches back from a virtual port to the hardware, or after the cable was
// released, so until OpenCable has obtained access again the hardware behaves as an
// empty port instead of crashing. The context is the cable's state.
unsigned char HardwareRead(void* context, unsigned short port) {
  PortCableState& state = *static_cast<PortCableState*>(context);
  switch (state.access.way) {
    case HardwareWay::kDirect: return platform::HardwarePortRead(port);
    case HardwareWay::kDevice: return DeviceRead(state, port);
    case HardwareWay::kNone: break;
  }
  return 0xFF;
}
void HardwareWrite(void* context, unsigned short port, unsigned char value) {
  PortCableState& state = *static_cast<PortCableState*>(context);
  switch (state.access.way) {
    case HardwareWay::kDirect: platform::HardwarePortWrite(port, value); break;
    case HardwareWay::kDevice: DeviceWrite(state, port, value); break;
    case HardwareWay::kNone: break;
  }
}

// The loop count is the whole of the TCK pacing, so the optimiser must keep every
// iteration: the empty asm statement is a side effect it may not drop or merge.
inline void BusyWait(const PortCableState& state) {
  for (int32_t remaining = state.access.portDelay; remaining > 0; --remaining) {
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

void UseDirectAccess(PortCableState& state) {
  platform::ClosePortDevice();
  PortAccessState& access = state.access;
  access.way = HardwareWay::kDirect;
  access.accessObtained = true;
}

void GrantDirectAccess(PortCableState& state, int portIndex) {
  state.access.directGranted = true;
  Trace("lpt%d: port at 0x%x reached with IN and OUT\n", portIndex + 1,
        IoAddress(PortTableEntry(state, portIndex).data));
}

ResultCode ObtainDirectAccess(PortCableState& state, int portIndex) {
  if (!state.access.directGranted) {
    if (Attempt(&platform::RequestHardwarePortAccess) != platform::PortAccess::kGranted) {
      Trace("lpt%d: no port access with IN and OUT at 0x%x\n", portIndex + 1,
            IoAddress(PortTableEntry(state, portIndex).data));
      return kNoPortAccess;
    }
    GrantDirectAccess(state, portIndex);
  }
  UseDirectAccess(state);
  return kOk;
}

void NoteDevicePort(PortCableState& state, int portIndex) {
  const PortAddresses& addresses = PortTableEntry(state, portIndex);
  state.access.device = {portIndex, IoAddress(addresses.data), IoAddress(addresses.status),
                         IoAddress(addresses.control)};
}

ResultCode ObtainDeviceAccess(PortCableState& state, int portIndex, const std::string& path) {
  if (HoldingDevice(state, portIndex, path)) {
    NoteDevicePort(state, portIndex);  // lpt.ini may have moved the addresses meanwhile
    return kOk;
  }
  PortAccessState& access = state.access;
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
  std::string failure;
  const platform::PortAccess answer = Attempt([&] { return platform::OpenPortDevice(path, failure); });
  if (answer != platform::PortAccess::kGranted) {
    Trace("lpt%d: no port access through %s\n", portIndex + 1, failure.c_str());
    return kNoPortAccess;
  }
  NoteDevicePath(state, path);
  NoteDevicePort(state, portIndex);
  access.way = HardwareWay::kDevice;
  access.accessObtained = true;
  Trace("lpt%d: port reached through %s\n", portIndex + 1, path.c_str());
  return kOk;
}

// With no line for the port: IN and OUT when the process may use them, else the port
// device of the same number, on systems that have such devices.
ResultCode ObtainAutomaticAccess(PortCableState& state, int portIndex) {
  if (!platform::PortDevicesSupported() || state.access.directGranted) return ObtainDirectAccess(state, portIndex);
  if (platform::RequestHardwarePortAccess() == platform::PortAccess::kGranted) {
    GrantDirectAccess(state, portIndex);
    UseDirectAccess(state);
    return kOk;
  }
  return ObtainDeviceAccess(state, portIndex, DefaultPortDevice(portIndex));
}

}  // namespace

PortCableState::~PortCableState() {
  if (access.way == HardwareWay::kDevice) platform::ClosePortDevice();
}

VantrelPortIo HardwarePortIo(PortCableState& state) {
  return VantrelPortIo{&state, nullptr, &HardwareRead, &HardwareWrite};
}

void PortWrite(PortCableState& state, uint16_t port, uint8_t value) {
  const VantrelPortIo& io = state.access.io;
  io.write(io.context, port, value);
  BusyWait(state);
}

uint8_t PortRead(PortCableState& state, uint16_t port) {
  const VantrelPortIo& io = state.access.io;
  const uint8_t value = io.read(io.context, port);
  BusyWait(state);
  return value;
}

platform::PortAccess RequestPortAccess(const PortCableState& state) {
  const PortAccessState& access = state.access;
  if (!access.virtualPort) return platform::RequestHardwarePortAccess();
  if (access.io.acquire == nullptr) return platform::PortAccess::kGranted;
  return access.io.acquire(access.io.context) == 0 ? platform::PortAccess::kGranted : platform::PortAccess::kRetry;
}

ResultCode ObtainPortAccess(PortCableState& state, int portIndex) {
  PortAccessState& access = state.access;
  if (access.virtualPort) {
    if (access.accessObtained) return kOk;
    if (Attempt([&] { return RequestPortAccess(state); }) != platform::PortAccess::kGranted) return kNoPortAccess;
    access.accessObtained = true;
    return kOk;
  }
  switch (ConfiguredPortWay(state, portIndex)) {
    case PortWay::kDirect: return ObtainDirectAccess(state, portIndex);
    case PortWay::kDevice: return ObtainDeviceAccess(state, portIndex, ConfiguredPortDevice(state, portIndex));
    case PortWay::kAutomatic: break;
  }
  return ObtainAutomaticAccess(state, portIndex);
}

bool PortAccessObtained(const PortCableState& state) { return state.access.accessObtained; }

void ForgetPortAccess(PortCableState& state) {
  ReleasePortDevice(state);
  PortAccessState& access = state.access;
  access.accessObtained = false;
  access.directGranted = false;
  access.way = HardwareWay::kNone;
}

void ReleasePortDevice(PortCableState& state) {
  PortAccessState& access = state.access;
  if (access.way != HardwareWay::kDevice) return;
  platform::ClosePortDevice();
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
}

void UsePortIo(PortCableState& state, const VantrelPortIo* io, VantrelPortBatch batch) {
  DeliverHeldAccesses(state);  // the old port's, before it is let go
  PortAccessState& access = state.access;
  if (io == nullptr) {
    access.io = HardwarePortIo(state);
    access.batch = nullptr;
    access.virtualPort = false;
  } else {
    access.io = *io;
    if (access.io.read == nullptr) access.io.read = &FloatingBusRead;
    if (access.io.write == nullptr) access.io.write = &DroppedWrite;
    access.batch = batch;
    access.virtualPort = true;
  }
  ForgetPortAccess(state);
}

bool VirtualPortPlugged(const PortCableState& state) { return state.access.virtualPort; }
bool PortBatchPlugged(const PortCableState& state) { return state.access.batch != nullptr; }

void RunPortBatch(PortCableState& state, VantrelPortAccess* accesses, unsigned count) {
  const PortAccessState& access = state.access;
  if (count == 0 || access.batch == nullptr) return;
  access.batch(access.io.context, accesses, count);
  for (unsigned i = 0; i < count; ++i) BusyWait(state);
}

void DeliverHeldAccesses(PortCableState& state) {
  const PortAccessState& access = state.access;
  if (access.batch != nullptr && !access.lentToJob.load()) access.batch(access.io.context, nullptr, 0);
}

void SetPortLentToJob(PortCableState& state, bool lent) { state.access.lentToJob.store(lent); }

int32_t PortDelay(const PortCableState& state) { return state.access.portDelay; }
void SetPortDelay(PortCableState& state, int32_t loops) {
  state.access.portDelay = loops < 0 ? 0 : (loops > kMaxPortDelay ? kMaxPortDelay : loops);
}

}  // namespace vantrel::cable
