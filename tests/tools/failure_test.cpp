// A failed command prints the library's own message, ends the session and makes the
// exit status non-zero, unless --keep-going; bad input gets a clear error, never a crash.
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace vantrel::test {
namespace {

TEST(HostFailures, PrintTheMessageAndStopTheSession) {
  const struct {
    std::string commands;
    std::string message;  // on standard error
  } cases[] = {
      {"connect", "vantrel: connect: emulator not found, please check power and hardware connection"},
      {"open lpt2", "vantrel: open: emulator not found, please check power and hardware connection"},
      {"open; connect; run; read 0 16", "vantrel: read: status error"},
      {"open; connect; run; read 0 4096",
       "vantrel: read: the read failed (job result -2); the target is running (0x500)"},
      {"open; connect; run; regs", "vantrel: regs: status error"},
      {"open; connect; reg r16", "vantrel: reg: invalid parameters are used"},
      {"open; connect; regs sys", "vantrel: regs: the mode is cur, usr, fiq, irq, svc, abt or und"},
      {"open; connect; break 0x1001", "vantrel: break: invalid parameters are used"},
      {"open; connect; break 0x80000",
       "vantrel: break: software breakpoint not set: the memory does not keep the pattern (ROM, unmapped or aborting "
       "memory), use the hardware breakpoint\nvantrel: break: try: break 0x80000 --hw\n"},
      {"open; connect; write 0x80000 01020304 --verify",
       "vantrel: write: verify failed, please check hardware or memory configurature(mem.set)"},
      {"load /nonexistent/demo.elf", "vantrel: load: /nonexistent/demo.elf: No such file or directory"},
      {"load " + kDemoBin, "give --at ADDRESS to load it as a raw binary"},
      {"open; connect; load " + kDemoElf + " --entry 0x21",
       "vantrel: load: the entry 0x00000021 is not a word-aligned"},
      {"open; stop", "vantrel: stop: status error"},
      {"break main", "vantrel: break: 'main' is not a number, and no symbols are loaded"},
      {"delete 0x100", "vantrel: delete: no software breakpoint at 0x00000100"},
      {"open; connect; watch 0x100 3", "vantrel: watch: the length must be 1, 2, 4 or a larger power of two"},
      {"open; connect; watch 0x102 4", "vantrel: watch: the address must be a multiple of the length"},
      {"open; connect; watch 0x100 4 rw", "vantrel: watch: bad length 'rw'"},
      {"open; connect; break 0x40 --hw; break 0x44; watch 0x100",
       "vantrel: watch: no watchpoint unit free: both hold breakpoints or watchpoints"},
      {"open; connect; watch 0x100; break 0x40 --hw; break 0x44",
       "vantrel: break: no watchpoint unit free: both hold breakpoints or watchpoints"},
      {"open; connect; run; watch 0x100", "vantrel: watch: status error"},
      {"unwatch 0x100", "vantrel: unwatch: no watchpoint at 0x00000100"},
      {"read 0x10000000000 4", "vantrel: read: bad number '0x10000000000'"},
      {"read 0 0", "vantrel: read: the length must be at least 1"},
      {"read 0 1G", "vantrel: read: bad length '1G'"},
      {"read 0xfffffffc 8", "vantrel: read: the range passes the end of the address space"},
      {"write 0 0102 3", "vantrel: write: bytes are hex digits in pairs"},
      {"read 0", "vantrel: read: usage: read ADDRESS LENGTH [--out FILE]"},
      {"load", "vantrel: load: usage: load FILE"},
      {"regs --all", "vantrel: regs: unknown option --all"},
      {"frobnicate", "vantrel: frobnicate: unknown command (try help)"},
      {"power", "vantrel: power: open the cable first"},
      {"region add 0 16 rx", "vantrel: region: the access is ro, wo or rw"},
      {"region add 0xfffffff0 32 rw", "vantrel: region: the region passes the end of the address space"},
      {"load \"unclosed", "vantrel: command line: unclosed quote"},
  };
  for (const auto& c : cases) {
    const HostRun run = RunCommands(c.commands + "; version");
    EXPECT_EQ(run.exitCode, 1) << c.commands;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.commands << "\nstderr: " << run.err;
    EXPECT_FALSE(Contains(run.out, "Vantrel V1.2")) << c.commands << ": the session went on";
  }
}

TEST(HostFailures, KeepGoingRunsEveryCommandAndStillExitsNonZero) {
  const HostRun run =
      RunCommands("open; connect; reg nope; read 0x80000 4 --out /nonexistent/dir/file; version", {"--keep-going"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: reg: invalid parameters are used")) << run.err;
  EXPECT_TRUE(Contains(run.err, "vantrel: read: /nonexistent/dir/file: cannot write the file")) << run.err;
  EXPECT_TRUE(Contains(run.out, "Vantrel V1.2"));
}

TEST(HostFailures, ProgramOptionsAreCheckedBeforeAnythingRuns) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--port", "lpt9"}, "--port is lpt1, lpt2 or lpt3"},
      {{"--frob"}, "unknown option --frob"},
      {{"-f"}, "-f needs a value"},
      {{"--port", "lpt1", "--board-endian", "big"}, "do not go with --port"},
      {{"--board-memory", "eeprom@0:4K"}, "KIND@BASE:SIZE"},
      {{"--board-memory", "flash@0:256K:nor8"}, "flash@BASE:SIZE[:KIND] with KIND amd16 or intel16"},
      {{"--board-memory", "flash@0:4K", "version"}, "flash size must be a multiple of 64K"},
      {{"--library", "/nonexistent/libVantrel.so", "version"}, "cannot load /nonexistent/libVantrel.so"},
      {{"-f", "/nonexistent/script.vtl"}, "cannot open the script"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {kHost};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const HostRun run = RunHost(args);
    EXPECT_NE(run.exitCode, 0) << c.message;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.message << "\nstderr: " << run.err;
  }
}

}  // namespace
}  // namespace vantrel::test
