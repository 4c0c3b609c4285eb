// Debian's gdb-multiarch debugging the example firmware through `vantrel gdbserver` on
// the simulated board, in batch mode, as an engineer would from a terminal.
#include <gtest/gtest.h>

#include "gdb_batch.h"
#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

using Input = GdbInput;

class GdbSessionTest : public ::testing::Test {
 protected:
  // Runs gdb-multiarch on the example's ELF, typing the commands after connecting.
  std::string RunGdb(const std::vector<Input>& inputs) { return test::RunGdb(EXAMPLE_DEMO_ELF, server_.Port(), inputs); }

  GdbServerProcess server_;
};

TEST_F(GdbSessionTest, LoadBreakStepInspectInterruptDetachAndAttachAgain) {
  ASSERT_TRUE(server_.Listening());
  const std::string first = RunGdb({{"load\n"
                                     "break main\n"
                                     "continue\n"
                                     "bt\n"
                                     "info registers\n"
                                     "print results.table_sum\n"
                                     "set var results.iterations = 1234\n"
                                     "print results.iterations\n"
                                     "break record_result\n"
                                     "continue\n"
                                     "next\n"
                                     "step\n"
                                     "break checksum\n"
                                     "continue\n"
                                     "next\n"
                                     "step\n"
                                     "bt\n"
                                     "finish\n"
                                     "x/16xw &results\n"
                                     "delete\n"
                                     "hbreak fibonacci\n"
                                     "continue\n"
                                     "print/x $cpsr & 0x20\n"
                                     "delete\n"
                                     "continue &\n",
                                     "Continuing."},
                                    {"interrupt\n", "SIGINT"},
                                    {"info registers pc\n"
                                     "detach\n",
                                     ""}});
  ExpectInOrder(first, {
                           "Loading section .text",
                           "Start address 0x00000020",
                           "Breakpoint 1, main () at ",
                           "#0 main ()",
                           "sp 0x40000",
                           "pc 0x84 0x84 <main>",
                           "cpsr 0x",
                           "$1 = 0",
                           "$2 = 1234",
                           "Breakpoint 2, record_result (round=round@entry=1",
                           "27 results.last_checksum = sum;",
                           "demo_main.c:45",
                           "Breakpoint 3, checksum (words=",
                           "count=count@entry=1024)",
                           "rotate_left (value=",
                           "#0 rotate_left",
                           "#1 ",
                           "in checksum",
                           "Run till exit from #0 rotate_left",
                           "Value returned is",
                           "<results>: 0x55534552 0x0053544c 0x00000001",
                           "Hardware assisted breakpoint 4 at 0x140",
                           "Breakpoint 4, fibonacci (n=",
                           "$4 = 0x20",  // the T bit: Thumb code
                           "Program received signal SIGINT",
                           "pc 0x",
                           "Inferior 1 (Remote target) detached",
                       });

  // The core ran on after the detach; a second GDB stops it where it is, without a reset.
  const std::string second =
      RunGdb({{"print results.iterations > 1\n"
               "print results.table_sum\n"
               "monitor status\n"
               "info breakpoints\n"
               "monitor reset\n"
               "maintenance flush register-cache\n"
               "info registers pc\n"
               "detach\n",
               ""}});
  ExpectInOrder(
      second, {"$1 = 1", "$2 = 357390848", "state halted", "No breakpoints", "target reset", "pc 0x0 0x0", "detached"});
}

// The core resumes in the state the cpsr's T bit says, as GDB left it: a call into the
// other state's code returns its value, and a load after a halt in Thumb code (GDB sets
// the entry's state with the pc) runs the ARM start-up code as ARM.
TEST_F(GdbSessionTest, TheCoreResumesInTheStateTheCpsrSays) {
  ASSERT_TRUE(server_.Listening());
  const std::string out = RunGdb({{"load\n"
                                   "hbreak fibonacci\n"
                                   "continue\n"
                                   "print/x $cpsr & 0x20\n"
                                   "print rotate_left(1, 4)\n"
                                   "print fibonacci(10)\n"
                                   "delete\n"
                                   "load\n"
                                   "print/x $cpsr & 0x20\n"
                                   "break record_result\n"
                                   "continue\n"
                                   "print fibonacci(10)\n"
                                   "print/x $cpsr & 0x20\n"
                                   "print results.iterations\n"
                                   "detach\n",
                                   ""}});
  ExpectInOrder(out, {
                         "Breakpoint 1, fibonacci (n=",
                         "$1 = 0x20",
                         "$2 = 16",  // ARM code called from a halt in Thumb code
                         "$3 = 55",
                         "Start address 0x00000020",
                         "$4 = 0x0",
                         "Breakpoint 2, record_result (round=round@entry=1",
                         "$5 = 55",  // Thumb code called from a halt in ARM code
                         "$6 = 0x0",
                         "$7 = 0",
                         "detached",
                     });
}

// GDB reads the memory map when it connects: the regions declared read-only are ROM to
// it, so its breakpoints there are hardware ones by itself, and the rest stays RAM.
TEST_F(GdbSessionTest, TheMemoryMapShowsTheDeclaredRom) {
  ASSERT_TRUE(server_.Listening());
  (void)RunGdb({{"monitor region add 0x80000 0x10000 ro\n"
                 "detach\n",
                 ""}});
  const std::string out = RunGdb({{"info mem\n"
                                   "load\n"
                                   "break *0x80010\n"
                                   "jump *0x80000\n"
                                   "info registers pc\n"
                                   "detach\n",
                                   ""}});
  ExpectInOrder(out, {"0x00000000 0x00080000 rw", "0x00080000 0x00090000 ro", "0x00090000 0x100000000 rw",
                      "Start address 0x00000020", "Breakpoint 1, 0x00080010", "pc 0x80010", "detached"});
}

// Code that memory cannot patch: the program's code declared read-only after the load,
// and the board's ROM (zeros there run as no-ops). GDB steps through the server's own
// stepper, and its breakpoints for finish and next fall on the hardware breakpoint.
TEST_F(GdbSessionTest, StepNextFinishAndUntilInCodeMemoryCannotPatch) {
  ASSERT_TRUE(server_.Listening());
  const std::string output = RunGdb({{"load\n"
                                      "monitor region add 0 0x188 ro\n"
                                      "hbreak record_result\n"
                                      "continue\n"
                                      "delete\n"
                                      "stepi\n"
                                      "until\n"
                                      "finish\n"
                                      "hbreak record_result\n"
                                      "continue\n"
                                      "delete\n"
                                      "next\n"
                                      "next\n"
                                      "set $pc = 0x80000\n"
                                      "stepi\n"
                                      "stepi\n"
                                      "info registers pc\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "region 0x00000000 0x00000188 ro",
                            "Breakpoint 1, record_result (round=round@entry=1",
                            "0x00000074 26 results.iterations = round;",
                            "27 results.last_checksum = sum;",
                            "Run till exit from #0 record_result",
                            "main () at ",
                            "Breakpoint 2, record_result (round=round@entry=2",
                            "27 results.last_checksum = sum;",
                            "main () at ",
                            "0x00080004 in ?? ()",
                            "pc 0x80008",
                            "detached",
                        });
}

// What the server keeps of memory between two requests never outlives a change: the core
// running or stepping writes, GDB writes whole words and single bytes into what was
// read, with the memory map declared so that reads are widened to whole blocks.
TEST_F(GdbSessionTest, MemoryReadAgainAfterTheCoreRanAndAfterWrites) {
  ASSERT_TRUE(server_.Listening());
  const std::string output = RunGdb({{"monitor region add 0 0x40000 rw\n"
                                      "load\n"
                                      "break record_result\n"
                                      "continue\n"
                                      "x/6xw &results\n"
                                      "print results.iterations\n"
                                      "continue\n"
                                      "print results.iterations\n"
                                      "set var results.iterations = 0x11223344\n"
                                      "print/x results.iterations\n"
                                      "set var *((unsigned char *) &results.iterations + 1) = 0xab\n"
                                      "print/x results.iterations\n"
                                      "stepi\n"
                                      "stepi\n"
                                      "print results.iterations\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "Breakpoint 1, record_result (round=round@entry=1",
                            "<results>: 0x55534552 0x0053544c 0x00000000",
                            "$1 = 0",
                            "Breakpoint 1, record_result (round=round@entry=2",
                            "$2 = 1",
                            "$3 = 0x11223344",
                            "$4 = 0x1122ab44",
                            "$5 = 2",
                            "detached",
                        });
}

// GDB's `next` steps a line as a range: the server runs over the instructions that can
// only fall through in one go, yet stops at a breakpoint among them and reaches the same
// lines as instruction-by-instruction stepping does.
TEST_F(GdbSessionTest, RangeSteppingStopsAtABreakpointInsideTheLine) {
  ASSERT_TRUE(server_.Listening());
  const std::string output = RunGdb({{"load\n"
                                      "break record_result\n"
                                      "continue\n"
                                      "finish\n"
                                      "set $start = $pc\n"
                                      "tbreak *($pc + 4)\n"
                                      "next\n"
                                      "print $pc == $start + 4\n"
                                      "continue\n"
                                      "next\n"
                                      "next\n"
                                      "set range-stepping off\n"
                                      "continue\n"
                                      "next\n"
                                      "next\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "Run till exit from #0 record_result",
                            "Temporary breakpoint 2, 0x",
                            "$1 = 1",
                            "Breakpoint 1, record_result (round=round@entry=2",
                            "27 results.last_checksum = sum;",
                            "main () at ",
                            "demo_main.c:45",
                            "Breakpoint 1, record_result (round=round@entry=3",
                            "27 results.last_checksum = sum;",
                            "main () at ",
                            "demo_main.c:45",
                            "detached",
                        });
}

// The banked registers of every mode and the SPSRs: shown, written through GDB and
// through `monitor reg`, kept apart from the current mode's registers where the core
// banks them and one with them where it does not, and kept across a step.
TEST_F(GdbSessionTest, BankedRegistersAndSpsrsAreReadAndWritten) {
  ASSERT_TRUE(server_.Listening());
  const std::string output = RunGdb({{"load\n"
                                      "break record_result\n"
                                      "continue\n"
                                      "info all-registers\n"
                                      "set $r13_irq = 0x1234\n"
                                      "set $spsr_svc = 0x600000d1\n"
                                      "set $r8_fiq = 0x88\n"
                                      "monitor reg r14_und 0x42\n"
                                      "maintenance flush register-cache\n"
                                      "print/x $r13_irq\n"
                                      "print/x $spsr_svc\n"
                                      "print/x $r14_und\n"
                                      "print/x $r8 != 0x88\n"
                                      "monitor reg R13_IRQ\n"
                                      "set $r13_svc = 0x3fff0\n"
                                      "maintenance flush register-cache\n"
                                      "print/x $sp\n"
                                      "stepi\n"
                                      "print/x $r13_irq\n"
                                      "monitor reg r99\n"
                                      "monitor reg sp 1 2\n"
                                      "set $cpsr = 0x600000d0\n"
                                      "maintenance flush register-cache\n"
                                      "print $r13_irq\n"
                                      "print/x $r13_usr == $sp\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "Breakpoint 1, record_result (round=round@entry=1",
                            "cpsr 0x600000d3",
                            "r8_usr 0x",
                            "r14_fiq 0x",
                            "spsr_fiq 0x",
                            "r13_irq 0x",
                            "r13_svc 0x3ffe8",
                            "spsr_svc 0x",
                            "r14_abt 0x",
                            "spsr_und 0x",
                            "r14_und 0x00000042",
                            "$1 = 0x1234",
                            "$2 = 0x600000d1",
                            "$3 = 0x42",
                            "$4 = 0x1",
                            "r13_irq 0x00001234",
                            "$5 = 0x3fff0",
                            "$6 = 0x1234",
                            "failed: ",
                            "usage: monitor reg [NAME [VALUE]]",
                            "$7 = <unavailable>",  // from User mode no other mode is reached
                            "$8 = 0x1",
                            "detached",
                        });
}

}  // namespace
}  // namespace vantrel::test
