// Debian's gdb-multiarch debugging the example firmware through `vantrel gdbserver` on
// the simulated board, in batch mode, as an engineer would from a terminal.
#include "gdb_batch.h"

namespace vantrel::test {
namespace {

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

}  // namespace
}  // namespace vantrel::test
