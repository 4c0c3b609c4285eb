/* Says hello on the debugger's console through semihosting, then ends: run it under
   `vantrel gdbserver --semihosting` (or after `monitor semihosting on`). */
#include "semihosting.h"

int main(void)
{
    semihosting_call(SYS_WRITE0, "hello\n");
    semihosting_call(SYS_EXIT, (const void *)ADP_STOPPED_APPLICATION_EXIT);
    for (;;) {
    }
}
