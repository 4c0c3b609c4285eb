/* A stand-in for the kernel's parallel-port device, preloaded (LD_PRELOAD) into a
 * process that uses the library: open, ioctl and close of one device path (the
 * environment's VANTREL_SHIM_DEVICE, else /dev/parport0) are answered by a simulated
 * board behind the port, so the library's own system calls run unchanged. Every other
 * path and descriptor goes to the system. A test reaches these controls with
 * dlsym(RTLD_DEFAULT, ...). */
#ifndef VANTREL_PPDEV_SHIM_H
#define VANTREL_PPDEV_SHIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum VantrelShimFault {
  VANTREL_SHIM_SERVE = 0,     /* a working device */
  VANTREL_SHIM_MISSING = 1,   /* open fails with ENOENT */
  VANTREL_SHIM_FORBIDDEN = 2, /* open fails with EACCES */
  VANTREL_SHIM_BUSY = 3,      /* PPCLAIM fails with EBUSY: another process holds the port */
  VANTREL_SHIM_VANISH = 4     /* after a number of register calls every call fails with ENODEV,
                                 and opens with ENOENT, until another fault is set */
};
typedef void (*VantrelShimSetFault)(int fault, uint64_t callsBeforeVanishing);

/* A fresh board (free running off, so its answers depend on the port traffic only) and
 * an empty log. */
typedef void (*VantrelShimNewBoard)(void);

/* Each register call served, in order: bit 0 set for a write, bits 1-2 the register
 * (0 data, 1 status, 2 control), bits 8-15 the byte written or read. */
typedef size_t (*VantrelShimLog)(const uint32_t **entries);

/* What the device has seen: opens, claims, releases and closes, and whether it is
 * open and claimed now. */
typedef struct VantrelShimCounts {
  int opens, claims, releases, closes;
  int open, claimed;
} VantrelShimCounts;
typedef VantrelShimCounts (*VantrelShimGetCounts)(void);

#define VANTREL_SHIM_ACCESS_WRITE 1u
#define VANTREL_SHIM_REGISTER_SHIFT 1
#define VANTREL_SHIM_VALUE_SHIFT 8

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_PPDEV_SHIM_H */
