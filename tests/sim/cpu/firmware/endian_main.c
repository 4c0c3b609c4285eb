/* main of the byte-order program: the portable checks only, no libgcc. */
#include "firmware_main.h"
#include "workload.h"

extern volatile uint32_t firmware_mailbox[4];
static uint32_t results[16];

void firmware_swi(uint32_t number, uint32_t* saved, uint32_t spsr) {
  (void)number;
  (void)saved;
  (void)spsr;
}

void firmware_undefined(uint32_t address, uint32_t* saved, uint32_t spsr) {
  (void)address;
  (void)saved;
  (void)spsr;
}

int main(void) {
  const uint32_t n = run_portable_workload(results);
  firmware_mailbox[2] = (uint32_t)results;
  firmware_mailbox[3] = n;
  return (int)n;
}
