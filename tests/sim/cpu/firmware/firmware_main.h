/* Firmware-only helpers of the workload test (not built for the host). */
#ifndef VANTREL_TEST_FIRMWARE_MAIN_H
#define VANTREL_TEST_FIRMWARE_MAIN_H

#include <stdint.h>

void firmware_swi(uint32_t number, uint32_t* saved, uint32_t spsr);
void firmware_undefined(uint32_t address, uint32_t* saved, uint32_t spsr);
uint32_t thumb_swi(uint32_t a, uint32_t b); /* SWI 0x42 from Thumb state */
uint32_t thumb_undefined(void);             /* runs Thumb undefined halfword 0xDE00 */

#endif
