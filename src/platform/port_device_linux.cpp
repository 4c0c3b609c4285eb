// The port device on Linux: ppdev's control calls on an opened /dev/parportN. The
// calls hand the registers over as they are, so a byte means on the cable exactly what
// it means to IN and OUT.
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/port_device.h"

namespace vantrel::platform {
namespace {

int g_device_fd = -1;

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

unsigned long ReadRequest(PortRegister which) {
  switch (which) {
    case PortRegister::kData: return PPRDATA;
    case PortRegister::kStatus: return PPRSTATUS;
    case PortRegister::kControl: return PPRCONTROL;
  }
  return PPRSTATUS;
}

unsigned long WriteRequest(PortRegister which) { return which == PortRegister::kControl ? PPWCONTROL : PPWDATA; }

}  // namespace

bool PortDevicesSupported() { return true; }

PortAccess OpenPortDevice(const std::string& path, std::string& failure) {
  ClosePortDevice();
  // Non-blocking, so that whatever else sits under that name can't hold the open up.
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    failure = Reason(path, errno);
    return PortAccess::kRefused;
  }
  if (ioctl(fd, PPCLAIM) != 0) {
    const int error = errno;
    failure = Reason(path, error);
    close(fd);
    return error == EBUSY || error == EAGAIN || error == EINTR ? PortAccess::kRetry : PortAccess::kRefused;
  }
  g_device_fd = fd;
  return PortAccess::kGranted;
}

bool PortDeviceOpen() { return g_device_fd >= 0; }

bool PortDeviceRead(PortRegister which, uint8_t& value, std::string& failure) {
  unsigned char byte = 0xFF;
  if (ioctl(g_device_fd, ReadRequest(which), &byte) != 0) {
    failure = std::strerror(errno);
    value = 0xFF;
    return false;
  }
  value = byte;
  return true;
}

bool PortDeviceWrite(PortRegister which, uint8_t value, std::string& failure) {
  // The status register is read-only; the cable never writes it.
  if (which == PortRegister::kStatus) return true;
  unsigned char byte = value;
  if (ioctl(g_device_fd, WriteRequest(which), &byte) != 0) {
    failure = std::strerror(errno);
    return false;
  }
  return true;
}

void ClosePortDevice() {
  if (g_device_fd < 0) return;
  (void)ioctl(g_device_fd, PPRELEASE);  // fails only on a device already gone
  close(g_device_fd);
  g_device_fd = -1;
}

}  // namespace vantrel::platform
