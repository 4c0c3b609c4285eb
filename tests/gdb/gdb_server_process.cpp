#include "gdb_server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace vantrel::test {

namespace {

// A port nobody listens on now; the server takes it a moment later.
int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return ntohs(address.sin_port);
}

}  // namespace

GdbServerProcess::GdbServerProcess(const std::string& hostOptions, const std::string& serverOptions,
                                   const std::string& listenHost)
    : port_(FreePort()) {
  const std::string command = std::string("exec ") + VANTREL_HOST_PATH + " " + hostOptions + " gdbserver --listen " +
                              listenHost + ":" + std::to_string(port_) + " " + serverOptions + " 2>&1";
  process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"/bin/sh", "-c", command});
  for (bool ok = true; ok && !listening_;) {
    const std::string line = process_->ReadLine(10000, &ok);
    greeting_ += line + "\n";
    listening_ = line.find("listening on") != std::string::npos;
  }
}

std::string Checksummed(const std::string& payload) {
  unsigned sum = 0;
  for (const char c : payload) sum += static_cast<unsigned char>(c);
  char tail[4];
  std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
  return std::string("$") + payload + tail;
}

RawClient::RawClient(int port, int receiveBuffer) {
  socket_ = socket(AF_INET, SOCK_STREAM, 0);
  if (receiveBuffer > 0) setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
}

RawClient::~RawClient() { Close(); }

void RawClient::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

void RawClient::SendBytes(const std::string& bytes) {
  size_t sent = 0;
  while (socket_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void RawClient::SendPacket(const std::string& payload) { SendBytes(Checksummed(payload)); }

std::string RawClient::Receive(int timeoutMs) {
  std::string received;
  for (;;) {
    const size_t hash = received.find('#', received.find('$') == std::string::npos ? 0 : received.find('$'));
    if (received.find('$') != std::string::npos && hash != std::string::npos && received.size() >= hash + 3) break;
    if (received == "-") break;
    pollfd descriptor{socket_, POLLIN, 0};
    if (poll(&descriptor, 1, timeoutMs) <= 0) break;
    char buffer[4096];
    const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  return received;
}

bool RawClient::ClosedByServer(int timeoutMs) {
  for (;;) {
    pollfd descriptor{socket_, POLLIN, 0};
    if (poll(&descriptor, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
  }
}

}  // namespace vantrel::test
