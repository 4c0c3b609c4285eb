// The interactive prompt, driven through a pseudo-terminal as a person at a terminal
// would: line editing, history, and the progress bar that only a terminal gets.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "host_test_support.h"

namespace vantrel::test {
namespace {

class Terminal {
 public:
  explicit Terminal(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 120;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      setenv("TERM", "xterm", 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      Wait(5000);
    }
    if (master_ >= 0) close(master_);
  }

  // Reads until the screen text holds what is wanted after from; false on timeout.
  bool WaitFor(const std::string& wanted, size_t from, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen_.find(wanted, from) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd wait{master_, POLLIN, 0};
      if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
      char chunk[4096];
      const ssize_t count = read(master_, chunk, sizeof chunk);
      if (count <= 0) return false;
      seen_.append(chunk, static_cast<size_t>(count));
    }
    return true;
  }
  void Send(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }
  // Types a line and waits for the next prompt; returns where the line's output starts.
  size_t Type(const std::string& keys, int timeoutMs = 30000) {
    const size_t from = seen_.size();
    Send(keys);
    EXPECT_TRUE(WaitFor("vantrel> ", from, timeoutMs)) << "no prompt after " << keys << "\n" << seen_.substr(from);
    return from;
  }
  const std::string& Seen() const { return seen_; }
  int Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      char drain[4096];
      pollfd wait{master_, POLLIN, 0};
      const ssize_t count = poll(&wait, 1, 5) > 0 ? read(master_, drain, sizeof drain) : 0;
      if (count > 0) seen_.append(drain, static_cast<size_t>(count));
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      }
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int master_ = -1;
  bool reaped_ = false;
  std::string seen_;
};

size_t CountOf(const std::string& text, const std::string& part, size_t from) {
  size_t count = 0;
  for (size_t at = text.find(part, from); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A terminal whose session came up, retrying while another test holds the library.
std::unique_ptr<Terminal> StartPrompt() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    auto terminal = std::make_unique<Terminal>(std::vector<std::string>{kHost});
    if (terminal->WaitFor("vantrel> ", 0, 30000)) return terminal;
    if (!Contains(terminal->Seen(), "another vyn instance") || std::chrono::steady_clock::now() > deadline)
      return terminal;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

TEST(HostPrompt, ConnectRegsAndQuitAtATerminal) {
  auto terminal = StartPrompt();
  ASSERT_TRUE(Contains(terminal->Seen(), "vantrel> ")) << terminal->Seen();
  terminal->Type("open\r");
  size_t from = terminal->Type("connect\r");
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "connected little-endian")) << terminal->Seen().substr(from);
  from = terminal->Type("regs\r");
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "pc         0x00000000")) << terminal->Seen().substr(from);
  // A failed command ends its line, not the session.
  from = terminal->Type("reg nope\r");
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "invalid parameters are used"));
  // Up arrow twice brings back "regs" from the history.
  from = terminal->Type("\x1b[A\x1b[A\r");
  EXPECT_EQ(CountOf(terminal->Seen(), "cpsr", from), 1u) << terminal->Seen().substr(from);
  // Line editing: a typo erased with backspace.
  from = terminal->Type("reg r1x\x7f\r");
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "r1         0x")) << terminal->Seen().substr(from);
  terminal->Send("quit\r");
  EXPECT_EQ(terminal->Wait(10000), 0);
}

TEST(HostPrompt, ATerminalSeesTheProgressBarOfADownload) {
  auto terminal = StartPrompt();
  terminal->Type("open\r");
  terminal->Type("connect\r");
  const size_t from = terminal->Type("load " + kDemoElf + " --verify\r");
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "load  0x00000000  [")) << terminal->Seen().substr(from);
  EXPECT_TRUE(Contains(terminal->Seen().substr(from), "verified"));
  terminal->Send("quit\r");
  EXPECT_EQ(terminal->Wait(10000), 0);
}

}  // namespace
}  // namespace vantrel::test
