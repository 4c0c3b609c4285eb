#include "remote_bitbang_port.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vantrel::client {
namespace {

// The parallel cable's wires, as the library drives and senses them.
constexpr uint8_t kDataResetReleased = 0x01;
constexpr uint8_t kDataTms = 0x02;
constexpr uint8_t kDataTck = 0x04;
constexpr uint8_t kDataTdi = 0x08;
constexpr uint8_t kStatusTdoInverted = 0x80;  // the sense lines read good (0)
constexpr uint8_t kFloatingBus = 0xFF;

// remote_bitbang's commands.
constexpr char kLinesBase = '0';  // + TCK 4, TMS 2, TDI 1
constexpr char kSample = 'R';
constexpr char kResetReleased = 'r';
constexpr char kResetHeld = 's';  // SRST asserted, TRST not
constexpr char kQuit = 'Q';
constexpr char kTdoHigh = '1';

// Write-only runs held back before they are sent: a few dozen scans.
constexpr std::size_t kHeldBytes = std::size_t{16} * 1024;

char LinesCommand(uint8_t data) {
  int lines = 0;
  if ((data & kDataTck) != 0) lines |= 4;
  if ((data & kDataTms) != 0) lines |= 2;
  if ((data & kDataTdi) != 0) lines |= 1;
  return static_cast<char>(kLinesBase + lines);
}

bool SplitAddress(const std::string& address, std::string* host, std::string* service) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == address.size()) return false;
  *host = address.substr(0, colon);
  *service = address.substr(colon + 1);
  return true;
}

int ConnectTo(const std::string& host, const std::string& service, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int failed = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); failed != 0) {
    *error = gai_strerror(failed);
    return -1;
  }
  int fd = -1;
  for (addrinfo* candidate = found; candidate != nullptr && fd < 0; candidate = candidate->ai_next) {
    fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, candidate->ai_addr, candidate->ai_addrlen) != 0) {
      *error = std::strerror(errno);
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd >= 0) {
    // Every run waits for its answers: Nagle's delay would add to each round trip.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

}  // namespace

RemoteBitbangPort::~RemoteBitbangPort() {
  if (fd_ < 0) return;
  if (!lost_) {
    outgoing_.push_back(kQuit);
    (void)Exchange(0);
  }
  close(fd_);
}

bool RemoteBitbangPort::Connect(const std::string& address, std::string* error) {
  std::string host;
  std::string service;
  if (!SplitAddress(address, &host, &service)) {
    *error = "a remote_bitbang address is HOST:PORT, not '" + address + "'";
    return false;
  }
  std::string why;
  fd_ = ConnectTo(host, service, &why);
  if (fd_ < 0) {
    *error = "cannot reach remote_bitbang at " + address + ": " + why;
    return false;
  }
  return true;
}

VantrelPortIo RemoteBitbangPort::Io() { return VantrelPortIo{this, nullptr, &Read, &Write}; }

void RemoteBitbangPort::Lose(const std::string& why) {
  if (lost_) return;
  lost_ = true;
  lost_reason_ = why;
  outgoing_.clear();
  std::fprintf(stderr, "vantrel: remote_bitbang link lost: %s\n", why.c_str());
}

void RemoteBitbangPort::AppendWrite(uint16_t port, uint8_t value) {
  if (port != data_port_) return;  // the control port has no wire here
  last_data_ = value;
  const bool held = (value & kDataResetReleased) == 0;
  if (held != reset_held_) outgoing_.push_back(held ? kResetHeld : kResetReleased);
  reset_held_ = held;
  outgoing_.push_back(LinesCommand(value));
}

bool RemoteBitbangPort::Exchange(std::size_t replyCount) {
  replies_.clear();
  if (lost_ || fd_ < 0) {
    Lose("not connected");
    return false;
  }
  std::size_t sent = 0;
  if (replyCount > 0) ++round_trips_;
  while (sent < outgoing_.size() || replies_.size() < replyCount) {
    pollfd watch{fd_, 0, 0};
    if (sent < outgoing_.size()) watch.events |= POLLOUT;
    if (replies_.size() < replyCount) watch.events |= POLLIN;
    const int ready = poll(&watch, 1, reply_timeout_ms_);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      Lose(ready == 0 ? "no answer in time" : std::strerror(errno));
      return false;
    }
    if ((watch.revents & POLLOUT) != 0) {
      const ssize_t n = send(fd_, outgoing_.data() + sent, outgoing_.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno != EINTR && errno != EAGAIN) {
        Lose(std::strerror(errno));
        return false;
      }
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
    if ((watch.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && replies_.size() < replyCount) {
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, std::min(sizeof buffer, replyCount - replies_.size()), 0);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        Lose(n == 0 ? "closed by the other end" : std::strerror(errno));
        return false;
      }
      if (n > 0) replies_.append(buffer, static_cast<std::size_t>(n));
    } else if ((watch.revents & (POLLHUP | POLLERR)) != 0) {
      Lose("closed by the other end");
      return false;
    }
  }
  outgoing_.clear();
  return true;
}

unsigned char RemoteBitbangPort::Read(void* context, unsigned short port) {
  auto* self = static_cast<RemoteBitbangPort*>(context);
  if (self->lost_) return kFloatingBus;
  if (port == self->data_port_) return self->last_data_;
  if (port != self->data_port_ + 1) return kFloatingBus;
  self->outgoing_.push_back(kSample);
  if (!self->Exchange(1)) return kFloatingBus;
  return self->replies_[0] == kTdoHigh ? 0 : kStatusTdoInverted;
}

void RemoteBitbangPort::Write(void* context, unsigned short port, unsigned char value) {
  auto* self = static_cast<RemoteBitbangPort*>(context);
  if (self->lost_) return;
  self->AppendWrite(port, value);
  if (!self->outgoing_.empty()) (void)self->Exchange(0);
}

// One send for the whole run; the status reads are answered in order, and the data
// port reads back what the run wrote before them. A run without a status read is held
// back until a run that needs an answer, a single access, the library's empty run at
// the end of its call, or a full hold: writes alone cost no round trip then.
void RemoteBitbangPort::RunBatch(void* context, VantrelPortAccess* accesses, unsigned int count) {
  auto* self = static_cast<RemoteBitbangPort*>(context);
  if (self->lost_) {
    for (unsigned int i = 0; i < count; ++i) {
      if (accesses[i].isRead != 0) accesses[i].value = kFloatingBus;
    }
    return;
  }
  std::vector<VantrelPortAccess*> sampled;
  for (unsigned int i = 0; i < count; ++i) {
    VantrelPortAccess& access = accesses[i];
    if (access.isRead == 0) {
      self->AppendWrite(access.port, access.value);
    } else if (access.port == self->data_port_ + 1) {
      self->outgoing_.push_back(kSample);
      sampled.push_back(&access);
    } else {
      access.value = access.port == self->data_port_ ? self->last_data_ : kFloatingBus;
    }
  }
  if (sampled.empty() && count > 0 && self->outgoing_.size() < kHeldBytes) return;
  if (!self->outgoing_.empty()) (void)self->Exchange(sampled.size());
  // The answers that came before a lost link count, as they do one read at a time.
  for (std::size_t i = 0; i < sampled.size(); ++i) {
    sampled[i]->value =
        i < self->replies_.size() ? (self->replies_[i] == kTdoHigh ? 0 : kStatusTdoInverted) : kFloatingBus;
  }
}

}  // namespace vantrel::client
