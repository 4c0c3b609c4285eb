/* A front end built with stdcall as its default calling convention (gcc -mrtd, as
 * MSVC's /Gz), linked against the DLL's import library: the exports and the callbacks it
 * hands over are __cdecl whatever the default, so a session on the board must work. A
 * wrong convention unbalances the stack on the first port callback. Windows' own
 * headers are left out on purpose: with -mrtd, mingw-w64 declares them wrongly. */
#include <stdio.h>
#include <string.h>

#include "board_port.h"
#include "vantrel.h"

static VantrelPortIo g_board;
static int g_port_calls;
static int g_trace_lines;

static int VANTREL_CALL Acquire(void *context) {
    (void)context;
    return 0;
}

static unsigned char VANTREL_CALL Read(void *context, unsigned short port) {
    (void)context;
    ++g_port_calls;
    return g_board.read(g_board.context, port);
}

static void VANTREL_CALL Write(void *context, unsigned short port, unsigned char value) {
    (void)context;
    ++g_port_calls;
    g_board.write(g_board.context, port, value);
}

static void VANTREL_CALL CountTrace(void *context, const char *line) {
    (void)context;
    (void)line;
    ++g_trace_lines;
}

static int Call(JtagRequest *request, int code, const char *what) {
    static JtagResponse response;
    request->kind = VANTREL_KIND_CABLE;
    request->code = code;
    Dll_Jtag_Entry(request, &response);
    if (response.status == VANTREL_STATUS_OK) return 0;
    fprintf(stderr, "%s: status %d, %.*s\n", what, (int)response.status, (int)sizeof response.data, response.data);
    return 1;
}

int __cdecl main(void) {
    static JtagRequest request;
    VantrelPortIo io;
    g_board = TestBoardPortIo();
    io.context = NULL;
    io.acquire = Acquire;
    io.read = Read;
    io.write = Write;
    VantrelUsePortIo(&io);
    VantrelSetTraceSink(CountTrace, NULL);
    strcpy(request.args.open.portName, "lpt1");
    if (Call(&request, VANTREL_CMD_OPEN, "open") != 0) return 1;
    memset(&request, 0, sizeof request);
    if (Call(&request, VANTREL_CMD_CONNECT, "connect") != 0) return 1;
    if (getDbgStatus(1) != 3) return fprintf(stderr, "power sense %d\n", getDbgStatus(1)), 1;
    if (Call(&request, VANTREL_CMD_DISCONNECT, "disconnect") != 0) return 1;
    VantrelUsePortIo(NULL);
    VantrelSetTraceSink(NULL, NULL);
    if (g_port_calls == 0 || g_trace_lines == 0) {
        fprintf(stderr, "%d port calls, %d trace lines\n", g_port_calls, g_trace_lines);
        return 1;
    }
    return 0;
}
