// A parallel port reached through the kernel's port device (/dev/parportN, the Linux
// ppdev driver), for a process that may not use IN and OUT itself: an ordinary user in
// the group that owns the device. One device is open at a time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vantrel::platform {

enum class PortRegister { kData, kStatus, kControl };

// false where the system has no such devices: the port is reached with IN and OUT only.
bool PortDevicesSupported();

// Opens the device and claims the port for this process. kRetry: another holder has
// the port claimed (it may let go soon); kRefused: no such device, no permission, not a
// port device, or no port devices on this system. failure says why either way. A device
// still open from before is released and closed first.
[[nodiscard]] PortAccess OpenPortDevice(const std::string& path, std::string& failure);
bool PortDeviceOpen();

// One control call each, unbuffered. false when it failed (the device has gone away);
// failure then says why and the value read is 0xFF.
[[nodiscard]] bool PortDeviceRead(PortRegister which, uint8_t& value, std::string& failure);
[[nodiscard]] bool PortDeviceWrite(PortRegister which, uint8_t value, std::string& failure);

// Lets go of the port and closes the device; nothing when none is open.
void ClosePortDevice();

}  // namespace vantrel::platform
