#include "host_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace vantrel::test {

namespace {

std::string TempFile(const char* stem) {
  std::string path = std::string("/tmp/") + stem + "XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Redirect(const std::string& path, int target, int flags) {
  const int fd = open(path.c_str(), flags, 0600);
  if (fd >= 0) {
    dup2(fd, target);
    close(fd);
  }
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& args, const std::string& input)
    : outPath_(TempFile("vantrel-out")), errPath_(TempFile("vantrel-err")), inPath_(TempFile("vantrel-in")) {
  std::ofstream(inPath_, std::ios::binary) << input;
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    Redirect(inPath_, STDIN_FILENO, O_RDONLY);
    Redirect(outPath_, STDOUT_FILENO, O_WRONLY | O_TRUNC);
    Redirect(errPath_, STDERR_FILENO, O_WRONLY | O_TRUNC);
    execv(argv[0], argv.data());
    _exit(127);
  }
}

HostProcess::~HostProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
  unlink(outPath_.c_str());
  unlink(errPath_.c_str());
  unlink(inPath_.c_str());
}

std::string HostProcess::Out() const { return ReadFile(outPath_); }
std::string HostProcess::Err() const { return ReadFile(errPath_); }

bool HostProcess::WaitForOut(const std::string& text, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Out().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void HostProcess::Signal(int number) const {
  if (pid_ > 0 && !reaped_) kill(pid_, number);
}

int HostProcess::Wait(int timeoutMs) {
  if (reaped_) return status_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
      reaped_ = true;
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

bool RefusedByOtherInstance(const HostRun& run) {
  return run.exitCode == 2 && run.err.find("by another vyn instance") != std::string::npos;
}

HostRun RunHost(const std::vector<std::string>& args, const std::string& input, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    HostProcess process(args, input);
    HostRun run;
    run.exitCode = process.Wait(timeoutMs);
    run.out = process.Out();
    run.err = process.Err();
    if (!RefusedByOtherInstance(run) || std::chrono::steady_clock::now() > deadline) return run;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

}  // namespace vantrel::test
