// The port device on Linux: ppdev's control calls on an opened /dev/parportN. The
// calls hand the registers over as they are, so a byte means on the cable exactly what
// it means to IN and OUT.
#include <fcntl.h>
#include <linux/major.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// The kernel's claim waits, with no time limit, until another holder lets go of the
// port. So the port's active device, which the kernel lists for each port, is looked
// at first, and a port that someone else holds counts as busy. Anything other than the
// port driver's own device has no such entry and goes straight to the claim.
bool HeldByAnother(int fd, std::string& holder) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || major(info.st_rdev) != PP_MAJOR) return false;
  std::string active = "/proc/sys/dev/parport/parport";
  active.append(std::to_string(minor(info.st_rdev))).append("/devices/active");
  std::FILE* file = std::fopen(active.c_str(), "re");
  if (file == nullptr) return false;
  char name[64] = {};
  const bool read = std::fgets(name, sizeof name, file) != nullptr;
  std::fclose(file);
  name[std::strcspn(name, "\n")] = '\0';
  if (!read || name[0] == '\0' || std::strcmp(name, "none") == 0) return false;
  holder = name;
  return true;
}

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
  if (std::string holder; HeldByAnother(fd, holder)) {
    failure = path + ": claimed by " + holder;
    close(fd);
    return PortAccess::kRetry;
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
