/* The firmware side of the workload test: runs the shared workload, then exercises SWI
   and undefined-instruction entry from both states, and publishes the results in the
   startup's mailbox. */
#include "firmware_main.h"

#include "workload.h"

extern volatile uint32_t firmware_mailbox[4];
static uint32_t results[kWorkloadMaxWords + 8];

void firmware_swi(uint32_t number, uint32_t* saved, uint32_t spsr) {
  saved[0] = swi_service(number, saved[0], saved[1]) + ((spsr & 0x20u) != 0 ? 1u : 0u);
}

void firmware_undefined(uint32_t address, uint32_t* saved, uint32_t spsr) {
  if ((spsr & 0x20u) != 0) {
    saved[0] = *(const volatile uint16_t*)address;
  } else {
    saved[0] = *(const volatile uint32_t*)address;
  }
}

static uint32_t ArmSwi(uint32_t a, uint32_t b) {
  register uint32_t r0 __asm__("r0") = a;
  register uint32_t r1 __asm__("r1") = b;
  __asm__ volatile("swi #0x21" : "+r"(r0) : "r"(r1) : "r2", "r3", "r12", "lr", "memory");
  return r0;
}

static uint32_t ArmUndefined(void) {
  register uint32_t r0 __asm__("r0") = 0;
  __asm__ volatile(".word 0xE7F000F0" : "+r"(r0) : : "r1", "r2", "r3", "r12", "lr", "memory");
  return r0;
}

int main(void) {
  uint32_t n = run_workload(results);
  results[n++] = ArmSwi(7, 9);
  results[n++] = thumb_swi(1234, 5678);
  results[n++] = ArmUndefined();
  results[n++] = thumb_undefined();
  firmware_mailbox[2] = (uint32_t)results;
  firmware_mailbox[3] = n;
  return (int)n;
}
