// gdb-multiarch in batch mode against `vantrel gdbserver` on the simulated board, with
// the example firmware, and how its output is checked.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "gdb_server_process.h"

namespace vantrel::test {

inline constexpr int kGdbTimeoutMs = 60000;

// GDB reads the next command only once the last has finished, but a command run in
// the background (continue &) returns at once: the next input then waits until GDB has
// said what is awaited.
struct Input {
  std::string commands;
  std::string await;  // a text of GDB's output to wait for after the commands
};

// Runs gdb-multiarch on elf, connected to the server on port, typing the commands.
inline std::string RunGdb(int port, const std::vector<Input>& inputs, const std::string& elf = EXAMPLE_DEMO_ELF) {
  const std::string command = "exec gdb-multiarch -nx -q " + elf + " 2>&1";
  ChildProcess gdb({"/bin/sh", "-c", command});
  gdb.Write("set pagination off\nset confirm off\nset height 0\nset width 0\ntarget extended-remote 127.0.0.1:" +
            std::to_string(port) + "\n");
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

class GdbSessionTest : public ::testing::Test {
 protected:
  // The example's ELF through the server of the test.
  std::string RunGdb(const std::vector<Input>& inputs) { return test::RunGdb(server_.Port(), inputs); }

  GdbServerProcess server_;
};

// GDB's output with every run of white space as one blank.
inline std::string Squeezed(const std::string& text) {
  std::string squeezed;
  for (const char c : text) {
    const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (!blank) squeezed += c;
    else if (!squeezed.empty() && squeezed.back() != ' ') squeezed += ' ';
  }
  return squeezed;
}

inline void ExpectInOrder(const std::string& output, const std::vector<std::string>& texts) {
  const std::string squeezed = Squeezed(output);
  size_t from = 0;
  for (const std::string& text : texts) {
    const size_t found = squeezed.find(text, from);
    if (found == std::string::npos) {
      ADD_FAILURE() << "not found in order: " << text << "\n--- gdb said:\n" << output;
      return;
    }
    from = found + text.size();
  }
}

}  // namespace vantrel::test
