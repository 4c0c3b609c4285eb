// Debian's gdb-multiarch debugging the example firmware through `vantrel gdbserver` on
// the simulated board, in batch mode, as an engineer would from a terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

constexpr int kGdbTimeoutMs = 60000;

// GDB reads the next command only once the last has finished, but a command run in
// the background (continue &) returns at once: the next input then waits until GDB has
// said what is awaited.
struct Input {
  std::string commands;
  std::string await;  // a text of GDB's output to wait for after the commands
};

class GdbSessionTest : public ::testing::Test {
 protected:
  // Runs gdb-multiarch on the example's ELF, typing the commands after connecting.
  std::string RunGdb(const std::vector<Input>& inputs) {
    const std::string command = std::string("exec gdb-multiarch -nx -q ") + EXAMPLE_DEMO_ELF + " 2>&1";
    ChildProcess gdb({"/bin/sh", "-c", command});
    gdb.Write("set pagination off\nset confirm off\nset height 0\nset width 0\ntarget extended-remote 127.0.0.1:" +
              std::to_string(server_.Port()) + "\n");
    std::string output;
    for (const Input& input : inputs) {
      gdb.Write(input.commands);
      for (bool ok = true; ok && !input.await.empty();) {
        const std::string line = gdb.ReadLine(kGdbTimeoutMs, &ok);
        output += line + "\n";
        if (line.find(input.await) != std::string::npos) break;
      }
    }
    gdb.Write("quit\n");
    gdb.CloseInput();
    output += gdb.ReadAll(kGdbTimeoutMs);
    EXPECT_EQ(gdb.Wait(kGdbTimeoutMs), 0) << output;
    return output;
  }

  GdbServerProcess server_;
};

void ExpectInOrder(const std::string& output, const std::vector<std::string>& patterns) {
  std::string rest = output;
  for (const std::string& pattern : patterns) {
    std::smatch match;
    if (!std::regex_search(rest, match, std::regex(pattern))) {
      ADD_FAILURE() << "not found in order: " << pattern << "\n--- gdb said:\n" << output;
      return;
    }
    rest = match.suffix();
  }
}

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
                                     "info registers cpsr\n"
                                     "delete\n"
                                     "continue &\n",
                                     "Continuing."},
                                    {"interrupt\n", "SIGINT"},
                                    {"info registers pc\n"
                                     "detach\n",
                                     ""}});
  ExpectInOrder(first, {
                           R"(Loading section \.text)",
                           R"(Start address 0x00000020)",
                           R"(Breakpoint 1, main \(\) at .*demo_main\.c)",
                           R"(#0  main \(\))",
                           R"(sp\s+0x40000)",
                           R"(pc\s+0x84\s+0x84 <main>)",
                           R"(cpsr\s+0x[0-9a-f]+)",
                           R"(\$1 = 0)",
                           R"(\$2 = 1234)",
                           R"(Breakpoint 2, record_result \(round=round@entry=1)",
                           R"(27\s+results\.last_checksum = sum;)",
                           R"(main \(\) at .*demo_main\.c:45)",
                           R"(Breakpoint 3, checksum \(words=.*count=count@entry=1024\))",
                           R"(rotate_left \(value=)",
                           R"(#0  rotate_left)",
                           R"(#1  .*checksum)",
                           R"(Run till exit from #0  rotate_left)",
                           R"(Value returned is)",
                           R"(<results>:\s+0x55534552\s+0x0053544c\s+0x00000001)",
                           R"(Hardware assisted breakpoint 4 at 0x140)",
                           R"(Breakpoint 4, fibonacci \(n=)",
                           R"(cpsr\s+0x[0-9a-f]*[2367abef][0-9a-f]\s)",  // the T bit: Thumb code
                           R"(Program received signal SIGINT)",
                           R"(pc\s+0x)",
                           R"(Inferior 1 \(Remote target\) detached)",
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
  ExpectInOrder(second, {R"(\$1 = 1)", R"(\$2 = 357390848)", R"(state\s+halted)", R"(No breakpoints)",
                         R"(target reset)", R"(pc\s+0x0\s)", R"(detached)"});
}

}  // namespace
}  // namespace vantrel::test
