#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

namespace vantrel::test {
namespace {

long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  in_fd_ = toChild[1];
  out_fd_ = fromChild[0];
  signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
  if (in_fd_ >= 0) close(in_fd_);
  if (out_fd_ >= 0) close(out_fd_);
}

std::string ChildProcess::ReadLine(int timeoutMs, bool* ok) {
  const long deadline = NowMs() + timeoutMs;
  for (;;) {
    const std::size_t newline = buffered_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffered_.substr(0, newline);
      buffered_.erase(0, newline + 1);
      if (ok != nullptr) *ok = true;
      return line;
    }
    const long left = deadline - NowMs();
    pollfd waitFor{out_fd_, POLLIN, 0};
    if (left <= 0 || poll(&waitFor, 1, static_cast<int>(left)) <= 0) break;
    char chunk[512];
    const ssize_t count = read(out_fd_, chunk, sizeof chunk);
    if (count <= 0) break;
    buffered_.append(chunk, static_cast<std::size_t>(count));
  }
  if (ok != nullptr) *ok = false;
  return {};
}

std::string ChildProcess::ReadAll(int timeoutMs) {
  const long deadline = NowMs() + timeoutMs;
  for (;;) {
    const long left = deadline - NowMs();
    pollfd waitFor{out_fd_, POLLIN, 0};
    if (left <= 0 || poll(&waitFor, 1, static_cast<int>(left)) <= 0) break;
    char chunk[4096];
    const ssize_t count = read(out_fd_, chunk, sizeof chunk);
    if (count <= 0) break;
    buffered_.append(chunk, static_cast<std::size_t>(count));
  }
  std::string all;
  all.swap(buffered_);
  return all;
}

void ChildProcess::Write(const std::string& text) {
  if (in_fd_ >= 0) (void)!write(in_fd_, text.data(), text.size());
}

void ChildProcess::CloseInput() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void ChildProcess::Kill(int signalNumber) {
  if (pid_ > 0 && !reaped_) kill(pid_, signalNumber);
}

int ChildProcess::Wait(int timeoutMs) {
  if (reaped_) return status_;
  const long deadline = NowMs() + timeoutMs;
  while (NowMs() < deadline) {
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_;
    }
    usleep(2000);
  }
  return -1;
}

}  // namespace vantrel::test
