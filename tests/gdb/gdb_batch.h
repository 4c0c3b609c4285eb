// Debian's gdb-multiarch as an engineer drives it from a terminal, typing commands to a
// `vantrel gdbserver` on the simulated board, and checks of what it printed.
#pragma once

#include <string>
#include <vector>

namespace vantrel::test {

// GDB reads the next command only once the last has finished, but a command run in
// the background (continue &) returns at once: the next input then waits until GDB has
// said what is awaited.
struct GdbInput {
  std::string commands;
  std::string await;  // a text of GDB's output to wait for after the commands
};

// Runs gdb-multiarch on elf, connected to the server on port, typing the inputs; every
// wait is bounded. Fails the test when GDB does not end cleanly.
std::string RunGdb(const std::string& elf, int port, const std::vector<GdbInput>& inputs);

// Fails the test unless texts occur in output in this order, white space squeezed.
void ExpectInOrder(const std::string& output, const std::vector<std::string>& texts);

}  // namespace vantrel::test
