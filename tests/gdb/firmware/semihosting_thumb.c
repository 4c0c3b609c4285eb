/* A semihosting call from Thumb code: SWI 0xAB. */
#include "semihosting.h"

uint32_t thumb_write0(const char *text) { return semihosting_call(SYS_WRITE0, text); }
