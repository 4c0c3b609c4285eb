/*
 * Vantrel: debug-probe driver for an ARM7TDMI target on a parallel-port JTAG cable.
 *
 * A host loads the library and talks to it through six C functions. Every command goes
 * through Dll_Jtag_Entry as a JtagRequest (connection kind, command code, arguments) and
 * comes back as a JtagResponse (echo, status, length, up to 1024 bytes of data or text).
 *
 * Record layout. All integers are 32-bit little-endian. On a 32-bit build the offsets
 * are exactly those noted beside each field. On a 64-bit build the pointer fields are
 * native 8-byte pointers and the records are packed to 4 bytes, so only the fields that
 * follow a pointer in the same argument layout move, by 4 bytes; the records keep
 * their sizes (1240 and 1036 bytes).
 */
#ifndef VANTREL_H
#define VANTREL_H

#include <stdint.h>
#include "vantrel_port.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Connection kinds a request may address. */
enum {
    VANTREL_KIND_CABLE = 1,     /* the JTAG cable on a PC parallel port */
    VANTREL_KIND_SIMULATOR = 4  /* the "KORVIX" simulator: refused by open */
};

/* Command codes. */
enum {
    VANTREL_CMD_GET_NAME = 17,
    VANTREL_CMD_GET_VERSION = 18,
    VANTREL_CMD_OPEN = 19,
    VANTREL_CMD_CONNECT = 33,
    VANTREL_CMD_DISCONNECT = 34,
    VANTREL_CMD_DOWNLOAD = 35,
    VANTREL_CMD_RUN = 36,
    VANTREL_CMD_STOP = 37,
    VANTREL_CMD_RECONNECT = 38,
    VANTREL_CMD_SET_HARDWARE_BREAK = 49,
    VANTREL_CMD_SET_SOFTWARE_BREAK = 50,
    VANTREL_CMD_CLEAR_BREAK = 51,
    /* Extensions (the watchpoint units): */
    VANTREL_CMD_SET_WATCHPOINT = 52,   /* a data watchpoint on a free unit */
    VANTREL_CMD_SET_UNIT_BREAK = 53,   /* a further hardware breakpoint on a free unit */
    VANTREL_CMD_CLEAR_UNIT = 54,       /* gives a unit set by 52 or 53 back */
    VANTREL_CMD_GET_STOP_REASON = 55,  /* why the core stopped last */
    VANTREL_CMD_RUN_MASKED = 56,       /* 36 with the core's interrupts masked until it
                                          halts (INTDIS): a host's single step */
    VANTREL_CMD_WRITE_REGISTER = 65,
    VANTREL_CMD_READ_REGISTERS = 66,
    VANTREL_CMD_READ_ICE = 67,
    VANTREL_CMD_WRITE_MEMORY = 81,
    VANTREL_CMD_READ_MEMORY = 82,
    VANTREL_CMD_WRITE_MEMORY2 = 83,
    VANTREL_CMD_READ_MEMORY2 = 84,
    VANTREL_CMD_ADD_REGION = 85,
    VANTREL_CMD_LIST_REGIONS = 86
};

/* Response status values. */
enum {
    VANTREL_STATUS_OK = 0,
    VANTREL_STATUS_FAILED = 1,
    VANTREL_STATUS_WARNING = 2,        /* "already down", "write only" and the like */
    VANTREL_STATUS_OTHER_INSTANCE = -1 /* another library instance is active */
};

/* What getDbgStatus reads: the target status word, or (any other selector) the power lines. */
enum {
    VANTREL_SELECT_STATUS_WORD = 0,
    VANTREL_SELECT_POWER_LINES = 1
};

/* The target status word, getDbgStatus(0): bit 0 set while the core is in debug state,
 * bit 4 in Thumb state, the target state from bit 8 up (status >> VANTREL_STATE_SHIFT). */
enum {
    VANTREL_STATUS_IN_DEBUG = 0x01,
    VANTREL_STATUS_THUMB = 0x10,
    VANTREL_STATE_SHIFT = 8
};

/* Target states. */
enum {
    VANTREL_STATE_NOT_OPENED = 0xFF00, /* loaded, no cable opened yet */
    VANTREL_STATE_DOWN = 0x200,      /* cable open, or the target disconnected */
    VANTREL_STATE_CONNECTED = 0x300, /* reset, identified and halted by connect */
    VANTREL_STATE_HALTED = 0x400,    /* halted after a stop, a breakpoint or a download */
    VANTREL_STATE_RUNNING = 0x500
};

/* getDbgStatus(1): the cable's power-sense lines. */
enum {
    VANTREL_POWER_FIRST_LINE_GOOD = 1,
    VANTREL_POWER_SECOND_LINE_GOOD = 2,
    VANTREL_POWER_GOOD = 3
};

/* jtagGetLastError: the result of the last background job. */
enum {
    VANTREL_JOB_NONE = 1,
    VANTREL_JOB_SUCCEEDED = 0,
    VANTREL_JOB_DOWNLOAD_FAILED = -1,
    VANTREL_JOB_READ_FAILED = -2,
    VANTREL_JOB_WRITE_FAILED = -3,
    VANTREL_JOB_DOWNLOAD_VERIFY_FAILED = -4,
    VANTREL_JOB_WRITE_VERIFY_FAILED = -5
};

/* Memory reads and writes (81 to 84) of at least this many bytes run as background jobs:
 * the command answers at once, getJtagProcess follows them, jtagGetLastError ends them. */
enum { VANTREL_BACKGROUND_TRANSFER_BYTES = 256 };

/* Memory-region access properties (command 85). */
enum {
    VANTREL_REGION_READ_ONLY = 0,
    VANTREL_REGION_WRITE_ONLY = 1,
    VANTREL_REGION_READ_WRITE = 2
};

/* The watchpoint units (commands 52 to 55). The core has two. Unit 0 holds the hardware
 * breakpoint of command 49; unit 1 detects the software breakpoints of command 50 while
 * any is set. A data watchpoint (52) or a further hardware breakpoint (53) takes unit 1
 * when no software breakpoint is set, else unit 0 when no hardware breakpoint is set;
 * otherwise it is refused with status 1 and "no watchpoint unit free: both hold
 * breakpoints or watchpoints". While a unit is taken, commands 49 (unit 0) and 50
 * (unit 1) are refused the same way. A host that writes breakpoint patterns itself
 * (the library does not see them) asks for unit 0 through `placement` while it has any.
 * 52 and 53 answer the unit's index as a 4-byte word; the core must be halted for 52, 53 and 54 ("status error" otherwise). A data
 * watchpoint stops the core after the load or store that matched, before the next
 * instruction; disconnecting gives every unit back. */
enum {
    VANTREL_PLACE_ANY = 0,     /* the library's choice, as above */
    VANTREL_PLACE_UNIT0 = 1,   /* unit 0 only */
    VANTREL_PLACE_UNIT1 = 2    /* unit 1 only */
};

enum {
    VANTREL_WATCH_READ = 0,
    VANTREL_WATCH_WRITE = 1,
    VANTREL_WATCH_ACCESS = 2  /* read or write */
};

/* Why the core stopped (command 55), as worked out when the host's stop (37) saved the
 * registers of a core that had halted: the saved PC against the breakpoints set, else
 * the data watchpoints set. A data watchpoint stops the core after the access, so when
 * both units watch data both are named in `units` and `unit` is the lower. */
enum {
    VANTREL_STOP_NONE = 0,                 /* no stop since the connect, or running */
    VANTREL_STOP_REQUESTED = 1,            /* command 37 halted the running core */
    VANTREL_STOP_HARDWARE_BREAKPOINT = 2,  /* the fetch breakpoint of `unit` (49 or 53) */
    VANTREL_STOP_SOFTWARE_BREAKPOINT = 3,  /* a pattern of command 50 at the saved PC */
    VANTREL_STOP_WATCHPOINT = 4,           /* the data watchpoint of `unit` */
    VANTREL_STOP_OTHER = 5                 /* halted by itself, none of the above */
};

enum {
    VANTREL_TEXT_FIELD_SIZE = 64,
    VANTREL_MAX_REGISTER_NAMES = 18,
    VANTREL_RESPONSE_DATA_SIZE = 1024,
    VANTREL_ARGUMENTS_SIZE = 1224
};

#pragma pack(push, 4)

typedef struct VantrelOpenArgs {            /* 19 */
    uint32_t unused;                        /* 16 */
    char portName[VANTREL_TEXT_FIELD_SIZE]; /* 20: "lpt1", "lpt2" or "lpt3" */
} VantrelOpenArgs;

typedef struct VantrelConnectArgs {         /* 33 */
    int32_t bigEndian;                      /* 16: 1 = target memory is big-endian */
} VantrelConnectArgs;

typedef struct VantrelDownloadArgs {        /* 35 */
    int32_t verify;                         /* 16: 1 = read back and compare */
    uint32_t loadAddress;                   /* 20 */
    uint32_t entryAddress;                  /* 24: the new PC */
    const void *image;                      /* 28 */
    int32_t length;                         /* 32 (36 on 64-bit) */
} VantrelDownloadArgs;

typedef struct VantrelBreakpointArgs {      /* 49, 50 */
    uint32_t address;                       /* 16 */
} VantrelBreakpointArgs;

typedef struct VantrelWatchpointArgs {     /* 52 */
    uint32_t address;                       /* 16 */
    uint32_t ignoredBits;                   /* 20: address bits not compared (a block) */
    int32_t size;                           /* 24: 1, 2 or 4 bytes, aligned; 0 any width */
    int32_t access;                         /* 28: VANTREL_WATCH_* */
    int32_t placement;                      /* 32: VANTREL_PLACE_* */
} VantrelWatchpointArgs;

typedef struct VantrelUnitBreakArgs {       /* 53 */
    uint32_t address;                       /* 16 */
    int32_t placement;                      /* 20: VANTREL_PLACE_* */
} VantrelUnitBreakArgs;

typedef struct VantrelUnitArgs {            /* 54 */
    int32_t unit;                           /* 16: 0 or 1 */
} VantrelUnitArgs;

typedef struct VantrelStopReason {          /* 55: the answer's data (20 bytes) */
    int32_t reason;                         /* +0: VANTREL_STOP_* */
    int32_t unit;                           /* +4: the unit that hit, -1 none */
    uint32_t units;                         /* +8: bit n: unit n may have hit */
    uint32_t address;                       /* +12: the breakpoint's or the watched address */
    int32_t access;                         /* +16: the watchpoint's VANTREL_WATCH_* */
} VantrelStopReason;

typedef struct VantrelClearBreakArgs {      /* 51 */
    int32_t hardware;                       /* 16: 1 = the hardware breakpoint */
    uint32_t address;                       /* 20: software breakpoint */
    unsigned char displacedWord[4];         /* 24: as answered by command 50 */
} VantrelClearBreakArgs;

typedef struct VantrelWriteRegisterArgs {   /* 65 */
    char name[VANTREL_TEXT_FIELD_SIZE];     /* 16 */
    uint32_t value;                         /* 80 */
} VantrelWriteRegisterArgs;

typedef struct VantrelReadRegistersArgs {   /* 66 */
    int32_t byMode;                         /* 16: 1 = by mode name, other = by names */
    char modeName[VANTREL_TEXT_FIELD_SIZE]; /* 20 */
    int32_t nameCount;                      /* 84 */
    char names[VANTREL_MAX_REGISTER_NAMES][VANTREL_TEXT_FIELD_SIZE]; /* 88 + 64 * i */
} VantrelReadRegistersArgs;

typedef struct VantrelWriteMemoryArgs {     /* 81, 83 */
    int32_t verify;                         /* 16 */
    uint32_t address;                       /* 20 */
    const void *data;                       /* 24 */
    int32_t length;                         /* 28 (32 on 64-bit) */
    int32_t accessWidth;                    /* 32 (36 on 64-bit): bytes */
} VantrelWriteMemoryArgs;

typedef struct VantrelReadMemoryArgs {      /* 82, 84 */
    void *buffer;                           /* 16 */
    uint32_t address;                       /* 20 (24 on 64-bit) */
    int32_t length;                         /* 24 (28 on 64-bit) */
} VantrelReadMemoryArgs;

typedef struct VantrelMemoryRegion {        /* 85: offsets 16 to 39 of the request */
    uint64_t start;                         /* +0 */
    uint64_t length;                        /* +8 */
    uint32_t property;                      /* +16: VANTREL_REGION_* or any other value */
    uint32_t reserved;                      /* +20: kept, never interpreted */
} VantrelMemoryRegion;

typedef struct JtagRequest {
    int32_t kind;                           /* 0: VANTREL_KIND_* */
    int32_t reserved0;                      /* 4 */
    int32_t code;                           /* 8: VANTREL_CMD_* */
    int32_t reserved1;                      /* 12 */
    union {                                 /* 16 */
        VantrelOpenArgs open;
        VantrelConnectArgs connect;
        VantrelDownloadArgs download;
        VantrelBreakpointArgs breakpoint;
        VantrelClearBreakArgs clearBreak;
        VantrelWatchpointArgs watchpoint;
        VantrelUnitBreakArgs unitBreak;
        VantrelUnitArgs unit;
        VantrelWriteRegisterArgs writeRegister;
        VantrelReadRegistersArgs readRegisters;
        VantrelWriteMemoryArgs writeMemory;
        VantrelReadMemoryArgs readMemory;
        VantrelMemoryRegion addRegion;
        unsigned char raw[VANTREL_ARGUMENTS_SIZE];
    } args;
} JtagRequest;

typedef struct JtagResponse {
    int32_t echo;                           /* 0 */
    int32_t status;                         /* 4: VANTREL_STATUS_* */
    int32_t length;                         /* 8: valid bytes in data */
    unsigned char data[VANTREL_RESPONSE_DATA_SIZE]; /* 12 */
} JtagResponse;

#pragma pack(pop)

/* Runs one command; the response is always written unless it is NULL. */
VANTREL_API void VANTREL_CALL Dll_Jtag_Entry(const JtagRequest *request, JtagResponse *response);
/* 0: the target status word; other: the cable's power-sense lines (3 = both good). */
VANTREL_API int VANTREL_CALL getDbgStatus(int selector);
/* Percentage of the running or last transfer. Never waits. */
VANTREL_API int VANTREL_CALL getJtagProcess(void);
/* Asks the running transfer to stop at its next progress report. Never waits. */
VANTREL_API void VANTREL_CALL setJtagProcessBreak(void);
/* Result of the last background job: 1 none yet, 0 success, -1 to -5 failures. */
VANTREL_API int VANTREL_CALL jtagGetLastError(void);
/* Sets the last job result to 1 and clears the progress and the stop request. */
VANTREL_API void VANTREL_CALL jtagClearLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_H */
