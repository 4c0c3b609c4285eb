#include "client_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "gdb_server.h"
#include "rsp_codec.h"

namespace vantrel::gdb {

namespace {

// Connections waiting to be accepted (and refused) while one client is served.
constexpr int kBacklog = 8;
// A client that connects while another is served is refused after this long, unless
// the session ends meanwhile: GDB has sent its first packet by then and reads the
// refusal as its answer. After the refusal its own close is awaited as long, so that
// no reset loses the answer.
constexpr int kRefusalWaitMs = 500;
// How often the work between clients (semihosting after a detach) is looked after.
constexpr int kWaitingPollMs = 2;

int BindOne(const addrinfo& candidate, const std::string& where, std::string* error) {
  const int listening =
      socket(candidate.ai_family, candidate.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, candidate.ai_protocol);
  if (listening < 0) return -1;
  const int on = 1;
  setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(listening, candidate.ai_addr, candidate.ai_addrlen) == 0 && listen(listening, kBacklog) == 0) {
    return listening;
  }
  *error = "cannot listen on " + where + ": " + std::strerror(errno);
  close(listening);
  return -1;
}

int OpenListeningSocket(const ListenAddress& address, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  const char* host = address.host.empty() ? nullptr : address.host.c_str();
  if (const int why = getaddrinfo(host, port.c_str(), &hints, &found); why != 0) {
    *error = address.host + ": " + gai_strerror(why);
    return -1;
  }
  int listening = -1;
  for (const addrinfo* candidate = found; candidate != nullptr && listening < 0; candidate = candidate->ai_next) {
    listening = BindOne(*candidate, address.host + ":" + port, error);
  }
  freeaddrinfo(found);
  return listening;
}

bool WaitReadable(int socket, int timeoutMs) {
  pollfd descriptor{socket, POLLIN, 0};
  return poll(&descriptor, 1, timeoutMs) > 0;
}

// Reads what the client sends for at most timeoutMs, less once it closes: a client that
// floods us holds the refusing no longer than one that says nothing.
void DrainFor(int client, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (!WaitReadable(client, static_cast<int>(std::max<long long>(left, 0)))) return;
    if (recv(client, buffer, sizeof buffer, MSG_DONTWAIT) <= 0 || left <= 0) return;
  }
}

}  // namespace

std::unique_ptr<ClientListener> ClientListener::Open(const ListenAddress& address, std::string* error) {
  const int socket = OpenListeningSocket(address, error);
  if (socket < 0) return nullptr;
  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    close(socket);
    return nullptr;
  }
  return std::unique_ptr<ClientListener>(new ClientListener(socket, wake[0], wake[1]));
}

ClientListener::~ClientListener() {
  close(socket_);
  close(wakeRead_);
  close(wakeWrite_);
}

bool ClientListener::ReachableFromOtherMachines() const {
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return true;
  if (bound.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&bound);
    return (ntohl(v4->sin_addr.s_addr) >> 24) != IN_LOOPBACKNET;
  }
  if (bound.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&bound);
    return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr) == 0;
  }
  return true;
}

void ClientListener::Refuse(int client) {
  DrainFor(client, 0);
  // Built by appending: GCC 12 at -O3 warns falsely on a literal + a temporary string.
  std::string reply = "+";
  reply += FramePacket(kBusyReply);
  (void)send(client, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  shutdown(client, SHUT_WR);
  DrainFor(client, kRefusalWaitMs);
  close(client);
  std::fprintf(stderr, "vantrel: gdbserver: refused a second client: already serving a client\n");
}

bool ClientListener::SessionEnded(int timeoutMs) {
  pollfd wake{wakeRead_, POLLIN, 0};
  if (poll(&wake, 1, timeoutMs) <= 0) return false;
  char byte = 0;
  return read(wakeRead_, &byte, 1) == 1;
}

int ClientListener::Accept(const std::function<void()>& whileWaiting) {
  if (next_ >= 0) return std::exchange(next_, -1);
  for (;;) {
    if (!WaitReadable(socket_, whileWaiting ? kWaitingPollMs : -1)) {
      if (whileWaiting) whileWaiting();
      continue;
    }
    const int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) return client;
  }
}

void ClientListener::RefuseUntilWoken() {
  for (;;) {
    pollfd descriptors[2] = {{socket_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (poll(descriptors, 2, -1) < 0) continue;
    if ((descriptors[1].revents & POLLIN) != 0 && SessionEnded(0)) return;
    const int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    if (SessionEnded(kRefusalWaitMs)) {
      next_ = client;
      return;
    }
    Refuse(client);
  }
}

void ClientListener::ServeRefusingOthers(const std::function<void()>& serve) {
  std::thread refuser([this] { RefuseUntilWoken(); });
  // The refusing ends with the session, also when the session throws.
  struct EndRefusing {
    int wake;
    std::thread& refuser;
    ~EndRefusing() {
      if (write(wake, "x", 1) != 1) std::perror("vantrel: gdbserver: waking the refuser");
      refuser.join();
    }
  } end{wakeWrite_, refuser};
  serve();
}

}  // namespace vantrel::gdb
