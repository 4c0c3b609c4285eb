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

PortAccessState& Access() { return PortState().access; }

bool HoldingDevice(int portIndex, const std::string& path) {
  const PortAccessState& access = Access();
  return access.way == HardwareWay::kDevice && access.device.portIndex == portIndex && path == access.devicePath.data();
}

void NoteDevicePath(const std::string& path) {
  std::array<char, kConfigLineBufferSize>& stored = Access().devicePath;
  stored.fill('\0');
  path.copy(stored.data(), stored.size() - 1);
}

unsigned char FloatingBusRead(void*, unsigned short) { return 0xFF; }
void DroppedWrite(void*, unsigned short, unsigned char) {}

bool DeviceRegister(uint16_t port, platform::PortRegister& which) {
  const DevicePort& device = Access().device;
  if (port == device.data) which = platform::PortRegister::kData;
  else if (port == device.status) which = platform::PortRegister::kStatus;
  else if (port == device.control) which = platform::PortRegister::kControl;
  else return false;
  return true;
}

// A device that fails a call has gone away (unplugged, its driver unloaded): it is let
// go at once, so the rest of the transfer sees an empty port, as with a pulled cable,
// and the next OpenCable opens it again.
void LoseDevice(const std::string& why) {
  PortAccessState& access = Access();
  Trace("lpt%d: %s lost, %s\n", access.device.portIndex + 1, access.devicePath.data(), why.c_str());
  platform::ClosePortDevice();
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
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
  switch (Access().way) {
    case HardwareWay::kDirect: return platform::HardwarePortRead(port);
    case HardwareWay::kDevice: return DeviceRead(port);
    case HardwareWay::kNone: break;
  }
  return 0xFF;
}
void HardwareWrite(void*, unsigned short port, unsigned char value) {
  switch (Access().way) {
    case HardwareWay::kDirect: platform::HardwarePortWrite(port, value); break;
    case HardwareWay::kDevice: DeviceWrite(port, value); break;
    case HardwareWay::kNone: break;
  }
}

// The loop count is the whole of the TCK pacing, so the optimiser must keep every
// iteration: the empty asm statement is a side effect it may not drop or merge.
inline void BusyWait() {
  for (int32_t remaining = Access().portDelay; remaining > 0; --remaining) {
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
  PortAccessState& access = Access();
  access.way = HardwareWay::kDirect;
  access.accessObtained = true;
}

void GrantDirectAccess(int portIndex) {
  Access().directGranted = true;
  Trace("lpt%d: port at 0x%x reached with IN and OUT\n", portIndex + 1, IoAddress(PortTableEntry(portIndex).data));
}

ResultCode ObtainDirectAccess(int portIndex) {
  if (!Access().directGranted) {
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
  Access().device = {portIndex, IoAddress(addresses.data), IoAddress(addresses.status), IoAddress(addresses.control)};
}

ResultCode ObtainDeviceAccess(int portIndex, const std::string& path) {
  if (HoldingDevice(portIndex, path)) {
    NoteDevicePort(portIndex);  // lpt.ini may have moved the addresses meanwhile
    return kOk;
  }
  PortAccessState& access = Access();
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
  std::string failure;
  const platform::PortAccess answer = Attempt([&] { return platform::OpenPortDevice(path, failure); });
  if (answer != platform::PortAccess::kGranted) {
    Trace("lpt%d: no port access through %s\n", portIndex + 1, failure.c_str());
    return kNoPortAccess;
  }
  NoteDevicePath(path);
  NoteDevicePort(portIndex);
  access.way = HardwareWay::kDevice;
  access.accessObtained = true;
  Trace("lpt%d: port reached through %s\n", portIndex + 1, path.c_str());
  return kOk;
}

// With no line for the port: IN and OUT when the process may use them, else the port
// device of the same number, on systems that have such devices.
ResultCode ObtainAutomaticAccess(int portIndex) {
  if (!platform::PortDevicesSupported() || Access().directGranted) return ObtainDirectAccess(portIndex);
  if (platform::RequestHardwarePortAccess() == platform::PortAccess::kGranted) {
    GrantDirectAccess(portIndex);
    UseDirectAccess();
    return kOk;
  }
  return ObtainDeviceAccess(portIndex, DefaultPortDevice(portIndex));
}

}  // namespace

PortCableState::~PortCableState() {
  if (access.way == HardwareWay::kDevice) platform::ClosePortDevice();
}

VantrelPortIo HardwarePortIo() { return VantrelPortIo{nullptr, nullptr, &HardwareRead, &HardwareWrite}; }

void PortWrite(uint16_t port, uint8_t value) {
  const VantrelPortIo& io = Access().io;
  io.write(io.context, port, value);
  BusyWait();
}

uint8_t PortRead(uint16_t port) {
  const VantrelPortIo& io = Access().io;
  const uint8_t value = io.read(io.context, port);
  BusyWait();
  return value;
}

platform::PortAccess RequestPortAccess() {
  const PortAccessState& access = Access();
  if (!access.virtualPort) return platform::RequestHardwarePortAccess();
  if (access.io.acquire == nullptr) return platform::PortAccess::kGranted;
  return access.io.acquire(access.io.context) == 0 ? platform::PortAccess::kGranted : platform::PortAccess::kRetry;
}

ResultCode ObtainPortAccess(int portIndex) {
  PortAccessState& access = Access();
  if (access.virtualPort) {
    if (access.accessObtained) return kOk;
    if (Attempt(&RequestPortAccess) != platform::PortAccess::kGranted) return kNoPortAccess;
    access.accessObtained = true;
    return kOk;
  }
  switch (ConfiguredPortWay(portIndex)) {
    case PortWay::kDirect: return ObtainDirectAccess(portIndex);
    case PortWay::kDevice: return ObtainDeviceAccess(portIndex, ConfiguredPortDevice(portIndex));
    case PortWay::kAutomatic: break;
  }
  return ObtainAutomaticAccess(portIndex);
}

bool PortAccessObtained() { return Access().accessObtained; }

void ForgetPortAccess() {
  ReleasePortDevice();
  PortAccessState& access = Access();
  access.accessObtained = false;
  access.directGranted = false;
  access.way = HardwareWay::kNone;
}

void ReleasePortDevice() {
  PortAccessState& access = Access();
  if (access.way != HardwareWay::kDevice) return;
  platform::ClosePortDevice();
  access.way = HardwareWay::kNone;
  access.accessObtained = false;
}

void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) {
  DeliverHeldAccesses();  // the old port's, before it is let go
  PortAccessState& access = Access();
  if (io == nullptr) {
    access.io = HardwarePortIo();
    access.batch = nullptr;
    access.virtualPort = false;
  } else {
    access.io = *io;
    if (access.io.read == nullptr) access.io.read = &FloatingBusRead;
    if (access.io.write == nullptr) access.io.write = &DroppedWrite;
    access.batch = batch;
    access.virtualPort = true;
  }
  ForgetPortAccess();
}

bool VirtualPortPlugged() { return Access().virtualPort; }
bool PortBatchPlugged() { return Access().batch != nullptr; }

void RunPortBatch(VantrelPortAccess* accesses, unsigned count) {
  const PortAccessState& access = Access();
  if (count == 0 || access.batch == nullptr) return;
  access.batch(access.io.context, accesses, count);
  for (unsigned i = 0; i < count; ++i) BusyWait();
}

void DeliverHeldAccesses() {
  const PortAccessState& access = Access();
  if (access.batch != nullptr && !access.lentToJob.load()) access.batch(access.io.context, nullptr, 0);
}

void SetPortLentToJob(bool lent) { Access().lentToJob.store(lent); }

int32_t PortDelay() { return Access().portDelay; }
void SetPortDelay(int32_t loops) {
  Access().portDelay = loops < 0 ? 0 : (loops > kMaxPortDelay ? kMaxPortDelay : loops);
}

}  // namespace vantrel::cable
