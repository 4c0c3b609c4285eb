#include "gdb_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel::gdb {

namespace {

constexpr size_t kReceiveChunk = 4096;

std::string Seconds(std::chrono::milliseconds limit) {
  const long long tenths = (limit.count() + 50) / 100;
  // Built by appending: GCC 12 at -O3 warns falsely on a literal + a temporary string.
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) {
    text += '.';
    text += std::to_string(tenths % 10);
  }
  text += " s";
  return text;
}

}  // namespace

GdbConnection::GdbConnection(int socket, int timeoutMs) : socket_(socket), limit_(timeoutMs), accepted_(Clock::now()) {}

GdbConnection::~GdbConnection() { close(socket_); }

void GdbConnection::Drop(const std::string& reason) {
  dropReason_ = reason;
  closed_ = true;
}

// Every send waits at most the time limit for the client to take the bytes: one that
// stops reading (or floods us with requests to send again) is dropped.
bool GdbConnection::WriteAll(std::string_view bytes) {
  const Clock::time_point deadline = Clock::now() + limit_;
  while (!bytes.empty() && !closed_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd descriptor{socket_, POLLOUT, 0};
    const int ready = left.count() > 0 ? poll(&descriptor, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      Drop("it took no reply for " + Seconds(limit_));
      break;
    }
    // No SIGPIPE: a client that has gone ends its connection, not the server.
    const ssize_t written = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
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

std::optional<GdbConnection::Clock::time_point> GdbConnection::Deadline() const {
  if (!packetSeen_) return accepted_ + limit_;
  if (packetBegun_) return *packetBegun_ + limit_;
  return std::nullopt;
}

// How long the next wait for bytes may last: the caller's time, cut short by what the
// client owes.
int GdbConnection::WaitWithin(int timeoutMs) const {
  const auto deadline = Deadline();
  if (!deadline) return timeoutMs;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  const int owed = static_cast<int>(std::clamp<long long>(left, 0, limit_.count()));
  return timeoutMs < 0 ? owed : std::min(timeoutMs, owed);
}

std::optional<RspEvent> GdbConnection::Next(int timeoutMs) {
  for (;;) {
    while (consumed_ < pending_.size()) {
      auto event = reader_.Feed(pending_[consumed_++]);
      if (reader_.InPacket() && !packetBegun_) packetBegun_ = Clock::now();
      if (!event) continue;
      if (event->kind != RspEvent::Kind::kAck && event->kind != RspEvent::Kind::kNak) packetBegun_.reset();
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
          packetSeen_ = true;
          if (acknowledging_) WriteAll("+");
          return event;
        case RspEvent::Kind::kBreak: return event;
      }
    }
    if (closed_) return std::nullopt;
    if (Fill(WaitWithin(timeoutMs))) continue;
    const auto deadline = Deadline();
    if (!closed_ && deadline && Clock::now() >= *deadline) {
      Drop(packetSeen_ ? "its packet was not complete after " + Seconds(limit_)
                       : "it sent no packet for " + Seconds(limit_));
    }
    return std::nullopt;
  }
}

void GdbConnection::Send(std::string_view payload) {
  lastSent_ = FramePacket(payload);
  WriteAll(lastSent_);
}

}  // namespace vantrel::gdb
