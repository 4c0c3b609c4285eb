#include "gdb_batch.h"

#include <gtest/gtest.h>

#include <cctype>

#include "support/child_process.h"

namespace vantrel::test {

namespace {

constexpr int kGdbTimeoutMs = 60000;

// GDB's output with every run of white space as one blank.
std::string Squeezed(const std::string& text) {
  std::string squeezed;
  for (const char c : text) {
    const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (!blank) squeezed += c;
    else if (!squeezed.empty() && squeezed.back() != ' ') squeezed += ' ';
  }
  return squeezed;
}

}  // namespace

std::string RunGdb(const std::string& elf, int port, const std::vector<GdbInput>& inputs) {
  const std::string command = std::string("exec gdb-multiarch -nx -q ") + elf + " 2>&1";
  ChildProcess gdb({"/bin/sh", "-c", command});
  gdb.Write("set pagination off\nset confirm off\nset height 0\nset width 0\ntarget extended-remote 127.0.0.1:" +
            std::to_string(port) + "\n");
  std::string output;
  for (const GdbInput& input : inputs) {
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

void ExpectInOrder(const std::string& output, const std::vector<std::string>& texts) {
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
