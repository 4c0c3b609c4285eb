// The preloaded port-device stand-in (see ppdev_shim.h). It follows the kernel driver
// where the library could tell a difference: register calls before PPCLAIM fail with
// EINVAL, a second PPCLAIM too, and the bytes pass through as the port holds them.
#include "ppdev_shim.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"

#define SHIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Device {
  std::string path;
  int fault = VANTREL_SHIM_SERVE;
  uint64_t callsBeforeVanishing = 0;
  bool vanished = false;
  int fd = -1;
  bool claimed = false;
  VantrelShimCounts counts{};
  std::unique_ptr<vsim::Board> board;
  VantrelPortIo io{};
  std::vector<uint32_t> log;
};

Device& TheDevice() {
  static Device device;
  if (device.path.empty()) {
    const char* path = std::getenv("VANTREL_SHIM_DEVICE");
    device.path = path != nullptr && *path != '\0' ? path : "/dev/parport0";
  }
  return device;
}

void BuildBoard(Device& device) {
  vsim::BoardConfig config;
  config.freeRunInstructionsPerMs = 0;
  device.board = std::make_unique<vsim::Board>(config);
  device.io = device.board->PortIo();
  device.log.clear();
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int Fail(int error) {
  errno = error;
  return -1;
}

int OpenDevice(Device& device) {
  if (device.fault == VANTREL_SHIM_MISSING || device.vanished) return Fail(ENOENT);
  if (device.fault == VANTREL_SHIM_FORBIDDEN) return Fail(EACCES);
  static const auto realOpen = Next<int (*)(const char*, int, ...)>("open");
  const int fd = realOpen("/dev/null", O_RDWR | O_CLOEXEC);
  if (fd < 0) return fd;
  if (!device.board) BuildBoard(device);
  device.fd = fd;
  device.claimed = false;
  ++device.counts.opens;
  return fd;
}

uint16_t PortOf(const Device& device, int reg) { return static_cast<uint16_t>(device.board->Config().portBase + reg); }

void Note(Device& device, bool write, int reg, uint8_t value) {
  device.log.push_back((write ? VANTREL_SHIM_ACCESS_WRITE : 0u) |
                       static_cast<uint32_t>(reg) << VANTREL_SHIM_REGISTER_SHIFT |
                       static_cast<uint32_t>(value) << VANTREL_SHIM_VALUE_SHIFT);
}

int ReadRegister(Device& device, int reg, void* argument) {
  const uint8_t value = device.io.read(device.io.context, PortOf(device, reg));
  *static_cast<unsigned char*>(argument) = value;
  Note(device, false, reg, value);
  return 0;
}

int WriteRegister(Device& device, int reg, const void* argument) {
  const uint8_t value = *static_cast<const unsigned char*>(argument);
  device.io.write(device.io.context, PortOf(device, reg), value);
  Note(device, true, reg, value);
  return 0;
}

// A register call counts towards the device vanishing; the call that reaches the count
// already fails.
bool Vanishes(Device& device) {
  if (device.fault != VANTREL_SHIM_VANISH) return false;
  if (device.callsBeforeVanishing == 0) device.vanished = true;
  else --device.callsBeforeVanishing;
  return device.vanished;
}

int RegisterCall(Device& device, unsigned long request, void* argument) {
  if (Vanishes(device)) return Fail(ENODEV);
  if (!device.claimed) return Fail(EINVAL);
  switch (request) {
    case PPRDATA: return ReadRegister(device, 0, argument);
    case PPRSTATUS: return ReadRegister(device, 1, argument);
    case PPRCONTROL: return ReadRegister(device, 2, argument);
    case PPWDATA: return WriteRegister(device, 0, argument);
    case PPWCONTROL: return WriteRegister(device, 2, argument);
    default: return Fail(ENOTTY);
  }
}

int DeviceCall(Device& device, unsigned long request, void* argument) {
  if (device.vanished) return Fail(ENODEV);
  switch (request) {
    case PPCLAIM:
      if (device.fault == VANTREL_SHIM_BUSY) return Fail(EBUSY);
      if (device.claimed) return Fail(EINVAL);
      device.claimed = true;
      ++device.counts.claims;
      return 0;
    case PPRELEASE:
      if (!device.claimed) return Fail(EINVAL);
      device.claimed = false;
      ++device.counts.releases;
      return 0;
    default: return RegisterCall(device, request, argument);
  }
}

}  // namespace

SHIM_EXPORT int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  if (TheDevice().path == path) return OpenDevice(TheDevice());
  static const auto realOpen = Next<int (*)(const char*, int, ...)>("open");
  return realOpen(path, flags, mode);
}

SHIM_EXPORT int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  return open(path, flags, mode);
}

SHIM_EXPORT int ioctl(int fd, unsigned long request, ...) __THROW {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  Device& device = TheDevice();
  if (fd >= 0 && fd == device.fd) return DeviceCall(device, request, argument);
  static const auto realIoctl = Next<int (*)(int, unsigned long, ...)>("ioctl");
  return realIoctl(fd, request, argument);
}

SHIM_EXPORT int close(int fd) {
  Device& device = TheDevice();
  if (fd >= 0 && fd == device.fd) {
    device.fd = -1;
    device.claimed = false;  // the kernel lets go of a port whose holder closes it
    ++device.counts.closes;
  }
  static const auto realClose = Next<int (*)(int)>("close");
  return realClose(fd);
}

SHIM_EXPORT void vantrel_shim_set_fault(int fault, uint64_t callsBeforeVanishing) {
  Device& device = TheDevice();
  device.fault = fault;
  device.callsBeforeVanishing = callsBeforeVanishing;
  device.vanished = false;
}

SHIM_EXPORT void vantrel_shim_new_board() { BuildBoard(TheDevice()); }

SHIM_EXPORT size_t vantrel_shim_log(const uint32_t** entries) {
  const Device& device = TheDevice();
  *entries = device.log.data();
  return device.log.size();
}

SHIM_EXPORT VantrelShimCounts vantrel_shim_counts() {
  Device& device = TheDevice();
  VantrelShimCounts counts = device.counts;
  counts.open = device.fd >= 0 ? 1 : 0;
  counts.claimed = device.claimed ? 1 : 0;
  return counts;
}
