/* Firmware-only Thumb code: exception entry from Thumb state. */
#include "firmware_main.h"

uint32_t thumb_swi(uint32_t a, uint32_t b) {
  register uint32_t r0 __asm__("r0") = a;
  register uint32_t r1 __asm__("r1") = b;
  __asm__ volatile("swi #0x42" : "+r"(r0) : "r"(r1) : "r2", "r3", "r12", "lr", "memory");
  return r0;
}

uint32_t thumb_undefined(void) {
  register uint32_t r0 __asm__("r0") = 0;
  __asm__ volatile(".hword 0xDE00" : "+r"(r0) : : "r1", "r2", "r3", "r12", "lr", "memory");
  return r0;
}
