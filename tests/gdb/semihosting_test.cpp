// Semihosting through `vantrel gdbserver`: real programs on the simulated board make
// the calls, gdb-multiarch shows their console output and their exit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "gdb_batch.h"
#include "gdb_server_process.h"

namespace vantrel::test {
namespace {

// Turned on by the monitor command. The vector is caught with a pattern where memory
// takes one (a step over the call is served as a continue is), else with the hardware
// breakpoint.
TEST(SemihostingTest, HelloOnGdbsConsoleThenTheProgramsExit) {
  const struct {
    const char* what;
    std::string commands;
    std::vector<std::string> said;
  } cases[] = {
      {"a pattern on the vector",
       "monitor semihosting\n"
       "monitor semihosting on\n"
       "load\n"
       "break main\n"
       "continue\n"
       "while *(unsigned *)($pc - 4) != 0xef123456\n"
       "stepi\n"
       "end\n"
       "x/i $pc\n"
       "continue\n",
       {"semihosting off; file operations refused", "semihosting on", "Breakpoint 1, main ()", "hello", "mov r0, #24",
        "[Inferior 1 (Remote target) exited normally]"}},
      {"vectors that memory cannot patch",
       "monitor semihosting on\n"
       "load\n"
       "monitor region add 0 0x88 ro\n"
       "continue\n"
       "monitor ice\n",
       {"region 0x00000000 0x00000088 ro", "hello", "[Inferior 1 (Remote target) exited normally]",
        "wp0-addr 0x00000008"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GdbServerProcess server;
    ASSERT_TRUE(server.Listening());
    ExpectInOrder(RunGdb(EXAMPLE_HELLO_SEMIHOSTING_ELF, server.Port(), {{c.commands, ""}}), c.said);
  }
}

// After a detach the program runs on, its calls served on the server's terminal.
TEST(SemihostingTest, AfterADetachTheServersTerminalGetsTheOutput) {
  GdbServerProcess server;
  ASSERT_TRUE(server.Listening());
  const std::string output = RunGdb(EXAMPLE_HELLO_SEMIHOSTING_ELF, server.Port(),
                                    {{"monitor semihosting on\n"
                                      "load\n"
                                      "break main\n"
                                      "continue\n"
                                      "delete\n"
                                      "detach\n",
                                      ""}});
  ExpectInOrder(output, {"Breakpoint 1, main ()", "detached"});
  const std::string said = server.ReadUntil("the program exited", 30000);
  ExpectInOrder(said, {"hello", "the program exited with code 0; the core is halted"});
}

// A directory for the program's files, and beside it one it must not reach, though a
// symbolic link inside points there.
class FileDirectory {
 public:
  FileDirectory() {
    char pattern[] = "/tmp/vantrel-semihosting-XXXXXX";
    root_ = mkdtemp(pattern);
    mkdir((root_ + "/files").c_str(), 0700);
    mkdir((root_ + "/private").c_str(), 0700);
    std::ofstream(root_ + "/private/secret.txt") << "secret";
    std::ofstream(root_ + "/note.txt") << "outside";
    symlink("../private", (root_ + "/files/outside").c_str());
  }
  ~FileDirectory() { (void)std::system(("rm -rf " + root_).c_str()); }
  std::string Files() const { return root_ + "/files"; }
  bool Exists(const std::string& relative) const { return access((root_ + "/" + relative).c_str(), F_OK) == 0; }

 private:
  std::string root_;
};

// Every call with good parameter blocks and bad ones (in memory that aborts, a length
// no program means, names that lead out of the directory), a Thumb call, and a SWI of
// the program's own that its handler serves, where GDB has a breakpoint of its own.
TEST(SemihostingTest, EveryCallGoodAndBadBlocksAndConfinedFiles) {
  FileDirectory directory;
  GdbServerProcess server("127.0.0.1", "--semihosting --semihosting-dir " + directory.Files(),
                          "--board-memory ram@0:128K,abort@0x20000:4K,ram@0x21000:124K,rom@0x80000:64K");
  ASSERT_TRUE(server.Listening()) << server.Greeting();
  server.WriteInput("k");  // what SYS_READC reads
  const std::string output = RunGdb(SEMIHOSTING_CALLS_ELF, server.Port(),
                                    {{"load\n"
                                      "break *8\n"
                                      "break calls_done\n"
                                      "continue\n"
                                      "info registers pc\n"
                                      "continue\n"
                                      "print results\n"
                                      "continue\n",
                                      ""}});
  // GDB's breakpoint on the vector stops only the program's own SWI.
  ExpectInOrder(output, {"thumb says hi", "console write", "writec", "Breakpoint 1, ", "pc 0x8 ",
                         "Breakpoint 2, calls_done", "thumb_write0 = 0, tt_handle = 1, console_write = 0, readc = 107,",
                         "time_after_2020 = 1, unreadable_block = -1, errno_unreadable = 14, unknown_operation = -1, "
                         "note_handle = 4, note_write = 0, runaway_write = -2064, note_istty = 0, note_length = 2053, "
                         "note_seek = 0, note_read = 0, note_text = \"ello",
                         "note_remove = 0, open_removed = -1, open_dotdot = -1, open_absolute = -1, "
                         "open_symlink_out = -1, errno_escape = 13, own_swis = 1}",
                         "[Inferior 1 (Remote target) exited with code 03]"});
  EXPECT_FALSE(directory.Exists("files/note.txt"));
  std::ifstream outsideNote(directory.Files() + "/../note.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(outsideNote), {}), "outside");
}

}  // namespace
}  // namespace vantrel::test
