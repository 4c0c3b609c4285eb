// A real child process with pipes to its standard input and output, for tests that
// need more than one process (the instance guard, the command-line host).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantrel::test {

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // The next line of standard output without its newline; empty with ok false on end
  // of output or after timeoutMs.
  std::string ReadLine(int timeoutMs, bool* ok = nullptr);
  // Everything the child writes until it closes its output (or timeoutMs passes).
  std::string ReadAll(int timeoutMs);
  void Write(const std::string& text);
  void CloseInput();
  void Kill(int signal);
  // Exit status (0-255), or 128 + signal when killed; -1 on timeout.
  int Wait(int timeoutMs);

 private:
  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  std::string buffered_;
  bool reaped_ = false;
  int status_ = -1;
};

}  // namespace vantrel::test
