// Systems without a parallel-port device: the port is reached with IN and OUT only.
#include "platform/port_device.h"

namespace vantrel::platform {

bool PortDevicesSupported() { return false; }

PortAccess OpenPortDevice(const std::string& path, std::string& failure) {
  failure = path + ": no parallel-port devices on this system";
  return PortAccess::kRefused;
}

bool PortDeviceOpen() { return false; }

bool PortDeviceRead(PortRegister, uint8_t& value, std::string& failure) {
  failure = "no parallel-port devices on this system";
  value = 0xFF;
  return false;
}

bool PortDeviceWrite(PortRegister, uint8_t, std::string& failure) {
  failure = "no parallel-port devices on this system";
  return false;
}

void ClosePortDevice() {}

}  // namespace vantrel::platform
