/* Every semihosting call the server serves, with good and bad parameter blocks; the
   results are left in `results` for the debugger, which breaks at calls_done(). */
#include "semihosting.h"

enum {
    SYS_OPEN = 0x01, SYS_CLOSE = 0x02, SYS_WRITEC = 0x03, SYS_WRITE = 0x05, SYS_READ = 0x06,
    SYS_READC = 0x07, SYS_ISTTY = 0x09, SYS_SEEK = 0x0A, SYS_FLEN = 0x0C, SYS_REMOVE = 0x0E,
    SYS_CLOCK = 0x10, SYS_TIME = 0x11, SYS_ERRNO = 0x13, SYS_EXIT_EXTENDED = 0x20,
};
enum { MODE_READ = 0, MODE_WRITE = 4 };

/* The board is run with memory that aborts every access from here on. */
#define ABORTING_MEMORY 0x20000u
#define NOTE "note.txt"

struct results {
    int32_t thumb_write0;
    int32_t tt_handle;
    int32_t console_write;
    int32_t readc;
    int32_t clock_ticks;
    int32_t time_after_2020;
    int32_t unreadable_block;
    int32_t errno_unreadable;
    int32_t unknown_operation;
    int32_t note_handle;
    int32_t note_write;
    int32_t runaway_write;
    int32_t note_istty;
    int32_t note_length;
    int32_t note_seek;
    int32_t note_read;
    char note_text[8];
    int32_t note_remove;
    int32_t open_removed;
    int32_t open_dotdot;
    int32_t open_absolute;
    int32_t open_symlink_out;
    int32_t errno_escape;
    int32_t own_swis;
};

struct results results;
uint32_t own_swi_count;

uint32_t thumb_write0(const char *text);

static int32_t call(uint32_t operation, const void *parameter)
{
    return (int32_t)semihosting_call(operation, parameter);
}

static int32_t call3(uint32_t operation, uint32_t a, uint32_t b, uint32_t c)
{
    const uint32_t block[3] = {a, b, c};
    return call(operation, block);
}

static int32_t open_file(const char *name, uint32_t length, uint32_t mode)
{
    return call3(SYS_OPEN, (uint32_t)name, mode, length);
}

static void console_calls(void)
{
    static const char line[] = "console write\n";
    results.thumb_write0 = (int32_t)thumb_write0("thumb says hi\n");
    results.tt_handle = open_file(":tt", 3, MODE_WRITE);
    results.console_write = call3(SYS_WRITE, (uint32_t)results.tt_handle, (uint32_t)line, sizeof line - 1);
    for (const char *c = "writec\n"; *c != 0; ++c) call(SYS_WRITEC, c);
    results.readc = call(SYS_READC, 0);
    results.clock_ticks = call(SYS_CLOCK, 0);
    results.time_after_2020 = call(SYS_TIME, 0) > 1577836800;
}

static void bad_calls(void)
{
    results.unreadable_block = call(SYS_WRITE, (const void *)ABORTING_MEMORY);
    results.errno_unreadable = call(SYS_ERRNO, 0);
    results.unknown_operation = call(0x77, 0);
}

static void file_calls(void)
{
    static const char nested[] = "../" NOTE;
    static const char absolute[] = "/etc/passwd";
    static const char through_link[] = "outside/secret.txt";
    results.note_handle = open_file(NOTE, sizeof NOTE - 1, MODE_WRITE);
    results.note_write = call3(SYS_WRITE, (uint32_t)results.note_handle, (uint32_t)"hello", 5);
    /* A length no program means, running into memory that aborts: a short write. */
    results.runaway_write = call3(SYS_WRITE, (uint32_t)results.note_handle, ABORTING_MEMORY - 2048, 0xFFFFFFF0u);
    call(SYS_CLOSE, &results.note_handle);
    results.note_handle = open_file(NOTE, sizeof NOTE - 1, MODE_READ);
    results.note_istty = call(SYS_ISTTY, &results.note_handle);
    results.note_length = call(SYS_FLEN, &results.note_handle);
    const uint32_t seek[2] = {(uint32_t)results.note_handle, 1};
    results.note_seek = call(SYS_SEEK, seek);
    results.note_read = call3(SYS_READ, (uint32_t)results.note_handle, (uint32_t)results.note_text, 4);
    call(SYS_CLOSE, &results.note_handle);
    const uint32_t note[2] = {(uint32_t)NOTE, sizeof NOTE - 1};
    results.note_remove = call(SYS_REMOVE, note);
    results.open_removed = open_file(NOTE, sizeof NOTE - 1, MODE_READ);
    results.open_dotdot = open_file(nested, sizeof nested - 1, MODE_READ);
    results.open_absolute = open_file(absolute, sizeof absolute - 1, MODE_READ);
    results.open_symlink_out = open_file(through_link, sizeof through_link - 1, MODE_READ);
    results.errno_escape = call(SYS_ERRNO, 0);
}

__attribute__((noinline)) void calls_done(void) { __asm__ volatile("" ::: "memory"); }

int main(void)
{
    console_calls();
    bad_calls();
    file_calls();
    __asm__ volatile("svc 0x42" ::: "memory", "lr"); /* the program's own */
    results.own_swis = (int32_t)own_swi_count;
    calls_done();
    const uint32_t exit_block[2] = {ADP_STOPPED_APPLICATION_EXIT, 3};
    call(SYS_EXIT_EXTENDED, exit_block);
    for (;;) {
    }
}
