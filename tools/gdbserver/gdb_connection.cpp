#include "gdb_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::gdb {

namespace {
constexpr size_t kReceiveChunk = 4096;
}

GdbConnection::~GdbConnection() { close(socket_); }

bool GdbConnection::WriteAll(std::string_view bytes) {
  while (!bytes.empty() && !closed_) {
    // No SIGPIPE: a client that has gone ends its connection, not the server.
    const ssize_t written = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) closed_ = true;
    else bytes.remove_prefix(static_cast<size_t>(written));
  }
  return !closed_;
}

bool GdbConnection::Fill(int timeoutMs) {
  pollfd descriptor{socket_, POLLIN, 0};
  const int ready = poll(&descriptor, 1, timeoutMs);
  if (ready < 0 && errno == EINTR) return false;
  if (ready <= 0) return false;
  char buffer[kReceiveChunk];
  const ssize_t received = recv(socket_, buffer, sizeof buffer, 0);
  if (received < 0 && errno == EINTR) return false;
  if (received <= 0) {
    closed_ = true;
    return false;
  }
  pending_.erase(0, consumed_);
  consumed_ = 0;
  pending_.append(buffer, static_cast<size_t>(received));
  return true;
}

std::optional<RspEvent> GdbConnection::Next(int timeoutMs) {
  for (;;) {
    while (consumed_ < pending_.size()) {
      auto event = reader_.Feed(pending_[consumed_++]);
      if (!event) continue;
      switch (event->kind) {
        case RspEvent::Kind::kAck: continue;
        case RspEvent::Kind::kNak:
          if (acknowledging_ && !lastSent_.empty()) WriteAll(lastSent_);
          continue;
        case RspEvent::Kind::kBadChecksum:
          // Without acknowledgements the client cannot resend: the packet is answered
          // as an error instead of being lost in silence.
          if (acknowledging_) {
            WriteAll("-");
            continue;
          }
          return event;
        case RspEvent::Kind::kPacket:
        case RspEvent::Kind::kOversized:
          if (acknowledging_) WriteAll("+");
          return event;
        case RspEvent::Kind::kBreak: return event;
      }
    }
    if (closed_ || !Fill(timeoutMs)) return std::nullopt;
  }
}

void GdbConnection::Send(std::string_view payload) {
  lastSent_ = FramePacket(payload);
  WriteAll(lastSent_);
}

}  // namespace vantrel::gdb
