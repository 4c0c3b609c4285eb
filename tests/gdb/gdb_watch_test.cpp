// GDB's watch, rwatch and awatch and a second hbreak through `vantrel gdbserver`, on the
// core's two watchpoint units: the stop names the watchpoint so that GDB checks its
// condition, and a stop that needs a third unit is refused with the reason.
#include <gtest/gtest.h>

#include "gdb_batch.h"
#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

TEST(GdbWatchTest, WatchpointsWithAConditionAndTwoHardwareBreakpoints) {
  GdbServerProcess server;
  ASSERT_TRUE(server.Listening());
  const std::string output = RunGdb(EXAMPLE_DEMO_ELF, server.Port(),
                                    {{"load\n"
                                      "break main\n"
                                      "continue\n"
                                      // The software breakpoint at main needs unit 1: the
                                      // watchpoint takes unit 0.
                                      "watch results.iterations if results.iterations == 3\n"
                                      "continue\n"
                                      "print results.iterations\n"
                                      "delete\n"
                                      "rwatch table[5]\n"
                                      "continue\n"
                                      "delete\n"
                                      "awatch results.fibonacci\n"
                                      "continue\n"
                                      "delete\n"
                                      "hbreak record_result\n"
                                      "hbreak fibonacci\n"
                                      "continue\n"
                                      "continue\n"
                                      "continue\n"
                                      "watch results.iterations\n"
                                      "continue\n"
                                      "delete\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "Breakpoint 1, main () at ",
                            "Hardware watchpoint 2: results.iterations",
                            "Old value = 2 New value = 3",
                            "in record_result (round=round@entry=3",
                            "$1 = 3",
                            "Hardware read watchpoint 3: table[5] Value = 26",
                            "in checksum (words=",
                            "Hardware access (read/write) watchpoint 4: results.fibonacci",
                            "main () at ",
                            "Hardware assisted breakpoint 5 at",
                            "Hardware assisted breakpoint 6 at",
                            "Breakpoint 5, record_result (",
                            "Breakpoint 6, fibonacci (",
                            "Breakpoint 5, record_result (",
                            "Hardware watchpoint 7: results.iterations",
                            "vantrel: no watchpoint unit free to stop the step: both hold breakpoints or watchpoints",
                            "detached",
                        });
  EXPECT_EQ(output.find("New value = 1\n"), std::string::npos) << "the false condition stopped GDB\n" << output;
}

}  // namespace
}  // namespace vantrel::test
