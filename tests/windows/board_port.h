/* The simulated board behind a C interface, for the C front-end hosts. Declared __cdecl
 * explicitly: a host built with another default convention (gcc -mrtd) calls it too. */
#ifndef VANTREL_TEST_BOARD_PORT_H
#define VANTREL_TEST_BOARD_PORT_H

#include "vantrel_port.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The board's own port callbacks; the board lives until the process ends. */
VantrelPortIo __cdecl TestBoardPortIo(void);
/* A word of the board's memory as the core would load it. */
unsigned __cdecl TestBoardReadWord(unsigned address);

#ifdef __cplusplus
}
#endif

#endif
