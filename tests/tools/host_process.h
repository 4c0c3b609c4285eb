// The built vantrel program run as a separate process, its standard output and error
// kept apart in files, so a test sees exactly what a user's shell would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantrel::test {

struct HostRun {
  int exitCode = -1;  // 128 + signal when killed, -1 on timeout
  std::string out;
  std::string err;
};

class HostProcess {
 public:
  // Starts the program with args; input (if any) is its standard input, else /dev/null.
  HostProcess(const std::vector<std::string>& args, const std::string& input = "");
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  std::string Out() const;
  std::string Err() const;
  // Waits until standard output holds text; false after timeoutMs.
  bool WaitForOut(const std::string& text, int timeoutMs) const;
  void Signal(int number) const;
  // Exit status (0-255), 128 + signal when killed, -1 after timeoutMs.
  int Wait(int timeoutMs);

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_, inPath_;
  bool reaped_ = false;
  int status_ = -1;
};

// Runs the program to its end. Only one library instance on the machine may be
// active, and another test program may hold it for a while: a run refused for that
// reason is repeated, for up to a minute.
HostRun RunHost(const std::vector<std::string>& args, const std::string& input = "", int timeoutMs = 60000);

// True when the run ended because another library instance was active.
bool RefusedByOtherInstance(const HostRun& run);

}  // namespace vantrel::test
