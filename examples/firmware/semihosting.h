/* Calls to the debugger's semihosting: the program stops on an SWI the debugger
   catches, the debugger does the work and resumes the program after the SWI with the
   result in r0. Without a debugger serving them, the SWI goes to the program's own
   vector. */
#ifndef SEMIHOSTING_H
#define SEMIHOSTING_H

#include <stdint.h>

#define SYS_WRITE0 0x04
#define SYS_EXIT 0x18
#define ADP_STOPPED_APPLICATION_EXIT 0x20026

/* The SWI clobbers lr of supervisor mode, where these programs run. */
static inline uint32_t semihosting_call(uint32_t operation, const void *parameter)
{
    register uint32_t r0 __asm__("r0") = operation;
    register const void *r1 __asm__("r1") = parameter;
#ifdef __thumb__
    __asm__ volatile("svc 0xAB" : "+r"(r0) : "r"(r1) : "memory", "lr");
#else
    __asm__ volatile("svc 0x123456" : "+r"(r0) : "r"(r1) : "memory", "lr");
#endif
    return r0;
}

#endif
