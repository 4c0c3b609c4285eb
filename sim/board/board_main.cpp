// vantrel-board: the simulated board served over OpenOCD's remote_bitbang protocol.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/board_options.h"
#include "board/remote_bitbang.h"

namespace {

constexpr size_t kReceiveBuffer = 64 * 1024;
constexpr int kQuietPollMs = 1;
constexpr uint64_t kFreeRunCap = 50000;  // per slice, so an answer waits at most a slice

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool LoadImages(vsim::Board& board, const std::vector<vsim::ImageToLoad>& images) {
  for (const vsim::ImageToLoad& image : images) {
    std::ifstream file(image.path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "vantrel-board: cannot read '%s'\n", image.path.c_str());
      return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!board.WriteMemory(image.address, bytes)) {
      std::fprintf(stderr, "vantrel-board: '%s' does not fit in mapped memory at 0x%08x\n", image.path.c_str(),
                   image.address);
      return false;
    }
  }
  return true;
}

int Listen(int port, int& chosenPort) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 1) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    close(fd);
    return -1;
  }
  chosenPort = ntohs(addr.sin_port);
  return fd;
}

bool SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// While the client is quiet a running core runs at the configured rate of host time.
void RunQuietly(vsim::Board& board, int64_t& lastUs) {
  int64_t now = NowUs();
  uint64_t allowance =
      static_cast<uint64_t>(now - lastUs) * static_cast<uint64_t>(board.Config().freeRunInstructionsPerMs) / 1000;
  lastUs = now;
  board.FreeRun(allowance < kFreeRunCap ? allowance : kFreeRunCap);
}

void Serve(vsim::Board& board, int client) {
  int one = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  vsim::RemoteBitbangSession session(board);
  std::vector<uint8_t> buffer(kReceiveBuffer);
  std::string reply;
  int64_t lastUs = NowUs();
  for (;;) {
    bool running = !board.CoreIdle() && board.Config().freeRunInstructionsPerMs > 0;
    pollfd p{client, POLLIN, 0};
    int ready = poll(&p, 1, running ? kQuietPollMs : -1);
    if (ready < 0) break;
    if (ready == 0) {
      RunQuietly(board, lastUs);
      continue;
    }
    ssize_t n = recv(client, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    reply.clear();
    auto outcome = session.Feed(buffer.data(), static_cast<size_t>(n), reply);
    if (!reply.empty() && !SendAll(client, reply)) break;
    if (outcome == vsim::RemoteBitbangSession::Outcome::kQuit) break;
    lastUs = NowUs();
  }
  if (session.UnknownBytes() > 0) {
    std::fprintf(stderr, "vantrel-board: ignored %llu bytes that are no remote_bitbang command\n",
                 static_cast<unsigned long long>(session.UnknownBytes()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  vsim::BoardOptions options;
  std::string error = vsim::ParseBoardOptions(argc, argv, options);
  if (options.help) {
    std::fputs(vsim::BoardUsage(), stdout);
    return 0;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "vantrel-board: %s\n", error.c_str());
    return 2;
  }
  vsim::Board board(options.config);
  if (!LoadImages(board, options.images)) return 2;
  int port = 0;
  int server = Listen(options.listenPort, port);
  if (server < 0) {
    std::fprintf(stderr, "vantrel-board: cannot listen on 127.0.0.1:%d\n", options.listenPort);
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::printf("listening on 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  for (;;) {
    int client = accept(server, nullptr, nullptr);
    if (client < 0) continue;
    Serve(board, client);
    close(client);
    // What each client cost on the wire, so that drivers can be compared on the same board.
    const vsim::BoardCounters counters = board.Counters();
    std::printf("client done: %llu port accesses, %llu TCK\n", static_cast<unsigned long long>(counters.portAccesses),
                static_cast<unsigned long long>(counters.tckCycles));
    std::fflush(stdout);
    board.ResetCounters();
  }
}
