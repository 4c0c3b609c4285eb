// Stepping while the board's timer interrupts the program: step and next stay in the
// function stepped (interrupts masked during each step), and continue lets the timer's
// handler run.
#include <gtest/gtest.h>

#include "gdb_batch.h"
#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

TEST(GdbInterruptTest, StepAndNextStayInTheFunctionAndContinueLetsTheHandlerRun) {
  GdbServerProcess server("127.0.0.1", "--board-timer 10");
  ASSERT_TRUE(server.Listening()) << server.Greeting();
  const std::string output = RunGdb(TIMER_DEMO_ELF, server.Port(),
                                    {{"load\n"
                                      "break work\n"
                                      "continue\n"
                                      "delete\n"
                                      "set var $before = ticks\n"
                                      "print $before > 0\n"
                                      "next\n"
                                      "next\n"
                                      "step\n"
                                      "stepi\n"
                                      "next\n"
                                      "bt 1\n"
                                      "print ticks - $before\n"
                                      "finish\n"
                                      "print ticks > $before\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {
                            "Breakpoint 1, work (n=n@entry=20)",
                            "$1 = 1",  // the handler ran before the breakpoint
                            "#0 ",
                            "work (n=n@entry=20)",
                            "$2 = 0",  // no tick while stepping
                            "Run till exit from #0 ",
                            "$4 = 1",
                            "detached",
                        });
  EXPECT_EQ(output.find("timer_irq"), std::string::npos) << "a step went into the handler\n" << output;
}

}  // namespace
}  // namespace vantrel::test
