/* A Windows debugger front end, written the way one is: the DLL loaded with LoadLibraryA,
 * its exports found with GetProcAddress, and the request and response records built as
 * raw bytes at their 32-bit offsets, not from the library's header. The simulated board
 * sits behind this host's own port callbacks.
 *
 *   front_end_host MODE DLL
 *
 * Each mode is one scenario; the exit code is 0 when it went as a host expects, and a
 * line on stderr says what did not. */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "board_port.h"

/* The records as a 32-bit front end lays them out. */
enum {
    kRequestSize = 1240,
    kResponseSize = 1036,
    kKind = 0,
    kCode = 8,
    kArgs = 16,
    kStatus = 4,
    kLength = 8,
    kData = 12
};

enum { kGetName = 17, kGetVersion = 18, kOpen = 19, kConnect = 33, kDisconnect = 34, kWriteMemory = 81 };
enum { kConflictExit = 3, kJobBytes = 256 * 1024, kJobAddress = 0 };

typedef void(__cdecl *EntryFunction)(const void *request, void *response);
typedef int(__cdecl *IntFunction)(void);
typedef int(__cdecl *SelectorFunction)(int selector);
typedef void(__cdecl *UsePortIoFunction)(const VantrelPortIo *io);
typedef void(__cdecl *SetTraceSinkFunction)(VantrelTraceSink sink, void *context);

static HMODULE g_library;
static EntryFunction g_entry;
static IntFunction g_last_error;
static UsePortIoFunction g_use_port_io;
static SetTraceSinkFunction g_set_trace_sink;
static VantrelPortIo g_board;
static volatile LONG g_port_calls;
static volatile LONG g_port_gone; /* set by an exit handler: the port must not be used any more */
static volatile LONG g_trace_lines;
static unsigned short g_lowest_port = 0xFFFF, g_highest_port;

static int Fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    return 1;
}

static void NotePort(unsigned short port) {
    InterlockedIncrement(&g_port_calls);
    if (g_port_gone) {
        /* What a real host would do here is undefined; end loudly instead. */
        fputs("port callback after the host's exit handlers ran\n", stderr);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 99);
    }
    if (port < g_lowest_port) g_lowest_port = port;
    if (port > g_highest_port) g_highest_port = port;
}

/* The callbacks carry the library's convention explicitly; the -mrtd build of this
 * file would otherwise hand over stdcall functions. */
static int VANTREL_CALL Acquire(void *context) {
    (void)context;
    return 0;
}

static unsigned char VANTREL_CALL Read(void *context, unsigned short port) {
    (void)context;
    NotePort(port);
    return g_board.read(g_board.context, port);
}

static void VANTREL_CALL Write(void *context, unsigned short port, unsigned char value) {
    (void)context;
    NotePort(port);
    g_board.write(g_board.context, port, value);
}

static void VANTREL_CALL CountTrace(void *context, const char *line) {
    (void)context;
    (void)line;
    InterlockedIncrement(&g_trace_lines);
}

static void __cdecl MarkPortGone(void) { g_port_gone = 1; }

static FARPROC Export(const char *name) {
    FARPROC function = GetProcAddress(g_library, name);
    if (function == NULL) fprintf(stderr, "missing export %s\n", name);
    return function;
}

static int Load(const char *unixStylePath) {
    char path[MAX_PATH];
    char *c;
    snprintf(path, sizeof path, "%s", unixStylePath); /* the build passes forward slashes */
    for (c = path; *c != '\0'; ++c) {
        if (*c == '/') *c = '\\';
    }
    g_library = LoadLibraryA(path);
    if (g_library == NULL) return Fail("LoadLibraryA(%s) failed, error %lu", path, GetLastError());
    g_entry = (EntryFunction)(void *)Export("Dll_Jtag_Entry");
    g_last_error = (IntFunction)(void *)Export("jtagGetLastError");
    g_use_port_io = (UsePortIoFunction)(void *)Export("VantrelUsePortIo");
    g_set_trace_sink = (SetTraceSinkFunction)(void *)Export("VantrelSetTraceSink");
    return g_entry && g_last_error && g_use_port_io && g_set_trace_sink ? 0 : 1;
}

static void PlugInBoard(void) {
    VantrelPortIo io;
    g_board = TestBoardPortIo();
    io.context = NULL;
    io.acquire = Acquire;
    io.read = Read;
    io.write = Write;
    g_use_port_io(&io);
}

static void PutInt(unsigned char *record, int offset, int value) { memcpy(record + offset, &value, 4); }
static int GetInt(const unsigned char *record, int offset) {
    int value;
    memcpy(&value, record + offset, 4);
    return value;
}

/* One command; the response's status, and its text in text when given. */
static int Call(int code, unsigned char *request, char *text, size_t textSize) {
    unsigned char response[kResponseSize];
    int length;
    memset(response, 0xA5, sizeof response);
    PutInt(request, kKind, 1);
    PutInt(request, kCode, code);
    g_entry(request, response);
    length = GetInt(response, kLength);
    if (text != NULL) {
        if (length < 0 || (size_t)length >= textSize) length = 0;
        memcpy(text, response + kData, (size_t)length);
        text[length] = '\0';
    }
    return GetInt(response, kStatus);
}

static int Simple(int code, char *text, size_t textSize) {
    unsigned char request[kRequestSize] = {0};
    return Call(code, request, text, textSize);
}

static int Open(const char *portName, char *text, size_t textSize) {
    unsigned char request[kRequestSize] = {0};
    strcpy((char *)request + kArgs + 4, portName);
    return Call(kOpen, request, text, textSize);
}

static int OpenAndConnect(void) {
    char text[1100];
    unsigned char request[kRequestSize] = {0};
    if (Open("lpt1", text, sizeof text) != 0) return Fail("open: %s", text);
    if (Call(kConnect, request, text, sizeof text) != 0) return Fail("connect: %s", text);
    return 0;
}

static unsigned char JobByte(int i) { return (unsigned char)(i * 7 + 1); }

/* The job's last word as the little-endian core loads it. */
static unsigned LastJobWord(void) {
    unsigned word = 0;
    int k;
    for (k = 0; k < 4; ++k) word |= (unsigned)JobByte(kJobBytes - 4 + k) << (8 * k);
    return word;
}

/* Starts a background write of kJobBytes; the data must live until the job ends. */
static int StartJob(void) {
    static unsigned char data[kJobBytes];
    unsigned char request[kRequestSize] = {0};
    const void *pointer = data;
    char text[1100];
    int i;
    for (i = 0; i < kJobBytes; ++i) data[i] = JobByte(i);
    PutInt(request, kArgs + 4, kJobAddress);
    memcpy(request + kArgs + 8, &pointer, 4);
    PutInt(request, kArgs + 12, kJobBytes);
    PutInt(request, kArgs + 16, 4);
    if (Call(kWriteMemory, request, text, sizeof text) != 0) return Fail("write memory: %s", text);
    if (g_last_error() != 1) return Fail("the write did not run as a job");
    return 0;
}

/* Name, version, a session on the board, trace lines through this host's sink. */
static int Session(void) {
    char text[1100];
    if (Simple(kGetName, text, sizeof text) != 0 || strcmp(text, "Vantrel") != 0) return Fail("name: %s", text);
    if (Simple(kGetVersion, text, sizeof text) != 0 || strcmp(text, "V1.2") != 0) return Fail("version: %s", text);
    g_set_trace_sink(CountTrace, NULL);
    PlugInBoard();
    if (OpenAndConnect() != 0) return 1;
    if (Simple(kDisconnect, text, sizeof text) != 0) return Fail("disconnect: %s", text);
    if (g_port_calls == 0) return Fail("the port callbacks were never called");
    if (g_trace_lines == 0) return Fail("no trace line reached the sink");
    g_use_port_io(NULL);
    return FreeLibrary(g_library) ? 0 : Fail("FreeLibrary failed");
}

/* Exit code 0 when this process got the instance, kConflictExit when another holds it. */
static int Probe(void) {
    char text[1100];
    const int status = Simple(kGetName, text, sizeof text);
    if (status == -1) return kConflictExit;
    return status == 0 ? 0 : Fail("name: status %d", status);
}

/* Holds the instance: signals the named event, then waits to be ended or told to go. */
static int Hold(const char *readyEvent, const char *quitEvent) {
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent);
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, quitEvent);
    if (Probe() != 0) return Fail("the holder did not get the instance");
    if (ready == NULL || quit == NULL || !SetEvent(ready)) return Fail("events: error %lu", GetLastError());
    WaitForSingleObject(quit, 60000);
    return 0; /* returns from main without FreeLibrary */
}

static int RunSelf(const char *arguments, HANDLE *process) {
    char exe[MAX_PATH], line[3 * MAX_PATH];
    STARTUPINFOA startup;
    PROCESS_INFORMATION info;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetModuleFileNameA(NULL, exe, sizeof exe);
    snprintf(line, sizeof line, "\"%s\" %s", exe, arguments);
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        return Fail("CreateProcessA: error %lu", GetLastError());
    }
    CloseHandle(info.hThread);
    *process = info.hProcess;
    return 0;
}

static DWORD RunSelfToEnd(const char *arguments) {
    HANDLE process;
    DWORD code = 1000;
    if (RunSelf(arguments, &process) != 0) return code;
    WaitForSingleObject(process, 60000);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

/* A second process is refused while the first holds the instance, and takes it over
 * once the first has been killed, or has returned from main. */
static int TwoProcesses(const char *dll) {
    char arguments[2 * MAX_PATH];
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, "vantrel_test_ready");
    HANDLE quit = CreateEventA(NULL, TRUE, FALSE, "vantrel_test_quit");
    int round;
    snprintf(arguments, sizeof arguments, "probe \"%s\"", dll);
    for (round = 0; round < 2; ++round) {
        char holdArguments[2 * MAX_PATH];
        HANDLE holder;
        DWORD code;
        ResetEvent(ready);
        ResetEvent(quit);
        snprintf(holdArguments, sizeof holdArguments, "hold \"%s\"", dll);
        if (RunSelf(holdArguments, &holder) != 0) return 1;
        if (WaitForSingleObject(ready, 60000) != WAIT_OBJECT_0) return Fail("the holder never got ready");
        if ((code = RunSelfToEnd(arguments)) != kConflictExit) return Fail("round %d: second process: %lu", round, code);
        if (round == 0) {
            TerminateProcess(holder, 1);
        } else {
            SetEvent(quit);
        }
        WaitForSingleObject(holder, 60000);
        CloseHandle(holder);
        if ((code = RunSelfToEnd(arguments)) != 0) return Fail("round %d: no takeover: %lu", round, code);
    }
    return 0;
}

/* FreeLibrary while a job runs: the DLL stays mapped until the job has ended, and the
 * job completes its write. */
static int FreeDuringJob(void) {
    int waited;
    PlugInBoard();
    if (OpenAndConnect() != 0 || StartJob() != 0) return 1;
    if (!FreeLibrary(g_library)) return Fail("FreeLibrary failed");
    if (GetModuleHandleA("Vantrel.dll") == NULL) return Fail("unmapped while the job still ran");
    for (waited = 0; GetModuleHandleA("Vantrel.dll") != NULL && waited < 120000; waited += 5) Sleep(5);
    if (GetModuleHandleA("Vantrel.dll") != NULL) return Fail("still mapped two minutes after FreeLibrary");
    return TestBoardReadWord(kJobAddress + kJobBytes - 4) == LastJobWord() ? 0 : Fail("the job's last word is missing");
}

/* ExitProcess while a job runs: the process ends at once with its own exit code. */
enum { kExitDuringJobCode = 7 };
static int ExitDuringJob(void) {
    PlugInBoard();
    if (OpenAndConnect() != 0 || StartJob() != 0) return 1;
    ExitProcess(kExitDuringJobCode);
}

static int ExitDuringJobSeenFromOutside(const char *dll) {
    char arguments[2 * MAX_PATH];
    DWORD code;
    snprintf(arguments, sizeof arguments, "exit-during-job-child \"%s\"", dll);
    code = RunSelfToEnd(arguments);
    return code == kExitDuringJobCode ? 0 : Fail("exit code %lu, not %d", code, kExitDuringJobCode);
}

/* Returns from main with the cable selected and without FreeLibrary. The host's exit
 * handlers end its port before the library unloads, so the library must not clock it
 * (it would reset the TAP through it otherwise). */
static int ExitAfterSession(void) {
    PlugInBoard();
    if (OpenAndConnect() != 0) return 1;
    atexit(MarkPortGone);
    return 0;
}

/* lpt.ini beside the .exe moves lpt2, and the cable is then looked for at that address;
 * its too large delay is bounded, and the trace line that says so goes, with no sink
 * set, to OutputDebugStringA (the test reads it through WINEDEBUG=+debugstr). The last
 * line on stderr says the host got to the end. */
static int IniBesideExe(void) {
    char path[MAX_PATH], text[1100];
    char *slash;
    FILE *ini;
    GetModuleFileNameA(NULL, path, sizeof path);
    slash = strrchr(path, '\\');
    if (slash == NULL) return Fail("no directory in %s", path);
    strcpy(slash + 1, "lpt.ini");
    if ((ini = fopen(path, "w")) == NULL) return Fail("cannot write %s", path);
    fputs("lpt2=2F8\ndelay=200000\n", ini);
    fclose(ini);
    PlugInBoard();
    (void)Open("lpt2", text, sizeof text); /* no board there: the open may fail */
    DeleteFileA(path);
    if (g_lowest_port != 0x2F8 || g_highest_port > 0x2FA) {
        return Fail("ports %#x to %#x used, not 0x2F8 to 0x2FA", g_lowest_port, g_highest_port);
    }
    fputs("front_end_host: lpt.ini read\n", stderr);
    return 0;
}

/* The hardware port through a driver that opens but grants nothing: the open is
 * answered, and the host lives on. */
static int DeniedPort(void) {
    char text[1100];
    HANDLE device = CreateFileA("\\\\.\\directio", GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (device == INVALID_HANDLE_VALUE) return Fail("fixture: \\\\.\\directio does not open");
    CloseHandle(device);
    if (Open("lpt1", text, sizeof text) == 0) return Fail("the open succeeded");
    if (strcmp(text, "LPT driver initialization failed") != 0) return Fail("open: %s", text);
    return 0;
}

int __cdecl main(int argc, char **argv) {
    const char *mode;
    if (argc < 3) return Fail("usage: front_end_host MODE DLL");
    mode = argv[1];
    if (strcmp(mode, "two-processes") == 0) return TwoProcesses(argv[2]);
    if (strcmp(mode, "exit-during-job") == 0) return ExitDuringJobSeenFromOutside(argv[2]);
    if (Load(argv[2]) != 0) return 1;
    if (strcmp(mode, "session") == 0) return Session();
    if (strcmp(mode, "probe") == 0) return Probe();
    if (strcmp(mode, "hold") == 0) return Hold("vantrel_test_ready", "vantrel_test_quit");
    if (strcmp(mode, "free-during-job") == 0) return FreeDuringJob();
    if (strcmp(mode, "exit-during-job-child") == 0) return ExitDuringJob();
    if (strcmp(mode, "exit-after-session") == 0) return ExitAfterSession();
    if (strcmp(mode, "ini-beside-exe") == 0) return IniBesideExe();
    if (strcmp(mode, "denied-port") == 0) return DeniedPort();
    return Fail("unknown mode %s", mode);
}
