/* Vantrel port seam: plug a virtual parallel port and a trace sink into the library. */
#ifndef VANTREL_PORT_H
#define VANTREL_PORT_H

#if defined(_WIN32)
#  if defined(VANTREL_BUILDING_LIBRARY)
#    define VANTREL_API __declspec(dllexport)
#  else
#    define VANTREL_API __declspec(dllimport)
#  endif
#  define VANTREL_CALL __cdecl
#else
#  define VANTREL_API __attribute__((visibility("default")))
#  define VANTREL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A virtual parallel port. The callbacks run on the library's threads (the caller of
 * Dll_Jtag_Entry or getDbgStatus, a background job's worker, the unloading thread),
 * one at a time, with the library's entry lock held: they must not call the library's
 * exports.
 *
 * VantrelUsePortIo copies the structure; NULL goes back to the hardware. While a
 * background job runs, the call waits until the job has finished, as a command does,
 * so a job always ends on the port it began on; it must not be called from a port
 * callback or a trace sink. The port and its context stay in use after the call:
 * they must remain valid until VantrelUsePortIo has plugged in another port (or NULL)
 * and returned, or until the library is unloaded, since unloading clocks the TAP of a
 * selected cable into Test-Logic-Reset through the port.
 *
 * So the callbacks may run during any export call, on a job's worker until the job
 * ends, and once more while the library unloads: from FreeLibrary or dlclose, and, for
 * a host that never unloads it, while the process exits. On Windows a process that is
 * exiting (ExitProcess, a return from main) unloads the library without calling the
 * port: the host's own exit handlers may already have destroyed it, and the cable is
 * left as it was. Elsewhere the library cannot tell, so a host that unloads nothing
 * keeps its port valid until the process ends (a static object, say), or plugs in
 * NULL before it destroys the port.
 *
 * The callbacks and the trace sink are __cdecl on Windows, whatever the host's default
 * calling convention (MSVC /Gz, gcc -mrtd): declare them with VANTREL_CALL. */
typedef struct VantrelPortIo {
    void *context;
    int (VANTREL_CALL *acquire)(void *context); /* 0: port access granted */
    unsigned char (VANTREL_CALL *read)(void *context, unsigned short port);
    void (VANTREL_CALL *write)(void *context, unsigned short port, unsigned char value);
} VantrelPortIo;
VANTREL_API void VANTREL_CALL VantrelUsePortIo(const VantrelPortIo *io);            /* copied; NULL: hardware again */

/* Optional: a port that can take many accesses in one call, for a cable behind a link
 * where each call costs a round trip (a socket, a USB adapter). The library hands it a
 * run of accesses at a time (a whole scan, or more) with the reads queued among the
 * writes; the port performs them in order, exactly as the same calls of read and write
 * would, and stores each read's byte in its entry before it returns. A run without a
 * read may return before its bytes have reached the cable: the port may hold them back
 * until the next run with a read or the next single access, which must follow them, or
 * until a call with no accesses (count 0, accesses NULL), which the library makes
 * whenever it goes idle (at the end of an export call or a background job, and before
 * another port is plugged in): then the port delivers everything it holds. The bytes on the wire
 * are the same as without the batch entry; only the number of calls changes. A read the port cannot perform (the link is gone) reads 0xFF,
 * as a floating bus does.
 *
 * VantrelUsePortBatch plugs in io as VantrelUsePortIo does, together with the batch
 * entry, which is called with io's context. The single-access callbacks stay in use for
 * the accesses that are not part of a run (finding the cable, the power lines). A NULL
 * batch is VantrelUsePortIo(io); a NULL io goes back to the hardware. */
typedef struct VantrelPortAccess {
    unsigned short port;
    unsigned char value;  /* the byte written; for a read, where the byte read is stored */
    unsigned char isRead; /* not 0: a read */
} VantrelPortAccess;
typedef void (VANTREL_CALL *VantrelPortBatch)(void *context, VantrelPortAccess *accesses, unsigned int count);
VANTREL_API void VANTREL_CALL VantrelUsePortBatch(const VantrelPortIo *io, VantrelPortBatch batch);

/* Trace lines go to the sink with its context, one line at a time. The sink runs on the
 * library's threads, with the library's locks held: it may store or print the line and
 * may call VantrelSetTraceSink, but must call no other export, and must not wait for a
 * thread that is calling into the library. A host must not hold a lock that its sink
 * takes while it calls VantrelSetTraceSink, which waits until a line being delivered
 * has been. Once VantrelSetTraceSink has returned, the sink it replaced is never called
 * again. NULL: the system's debug channel (none on Linux). */
typedef void (VANTREL_CALL *VantrelTraceSink)(void *context, const char *line);
VANTREL_API void VANTREL_CALL VantrelSetTraceSink(VantrelTraceSink sink, void *context);

/* Memory transfers use the exact instruction sequences unless lpt.ini says transfer=fast.
 * A host may choose for itself: its choice overrides lpt.ini from the next transfer on,
 * until it chooses VANTREL_TRANSFER_AS_CONFIGURED again. Any other value is ignored.
 * While a background job runs, the call waits until the job has finished. */
enum {
    VANTREL_TRANSFER_AS_CONFIGURED = 0, /* as lpt.ini says (exact without a line) */
    VANTREL_TRANSFER_EXACT = 1,
    VANTREL_TRANSFER_FAST = 2
};
VANTREL_API void VANTREL_CALL VantrelSetTransferMode(int mode);

/* The library's waits (the cable's access retries, the halt polls, the reset pulse) are
 * meant for real hardware. A host that drives a simulated target through the port seam
 * may have them follow its own time: from then on the library calls sleep with the
 * milliseconds of each wait instead of sleeping, on any of its threads. NULL: the
 * system's sleep again. While a background job runs, the call waits until the job has
 * finished. */
typedef void (VANTREL_CALL *VantrelSleep)(void *context, unsigned int milliseconds);
VANTREL_API void VANTREL_CALL VantrelUseClock(VantrelSleep sleep, void *context);

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_PORT_H */
