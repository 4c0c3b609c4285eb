// One GDB client on a socket: packets in and out with acknowledgements until the
// client turns them off, and a look for the break byte while the core runs. A client
// that holds the server without speaking is dropped after a time limit: one that sends
// no packet at all, one whose packet never ends, one that takes no reply.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "rsp_codec.h"

namespace vantrel::gdb {

inline constexpr int kDefaultClientTimeoutMs = 30000;

class GdbConnection {
 public:
  GdbConnection(int socket, int timeoutMs);
  ~GdbConnection();
  GdbConnection(const GdbConnection&) = delete;
  GdbConnection& operator=(const GdbConnection&) = delete;

  // The next packet or break from the client, waiting at most timeoutMs (-1: for
  // ever). Empty on a timeout; Closed() tells when the client has gone or was dropped.
  std::optional<RspEvent> Next(int timeoutMs);
  bool Closed() const { return closed_; }
  // Why the server dropped the client; empty when it went by itself.
  const std::string& DropReason() const { return dropReason_; }

  void Send(std::string_view payload);
  void StopAcknowledging() { acknowledging_ = false; }

 private:
  using Clock = std::chrono::steady_clock;
  bool WriteAll(std::string_view bytes);
  bool Fill(int timeoutMs);
  // The time by which the client must have finished what it owes (its first packet,
  // or the packet it began); empty while it owes nothing.
  std::optional<Clock::time_point> Deadline() const;
  int WaitWithin(int timeoutMs) const;
  void Drop(const std::string& reason);

  int socket_;
  std::chrono::milliseconds limit_;
  Clock::time_point accepted_;
  std::optional<Clock::time_point> packetBegun_;
  bool packetSeen_ = false;
  bool closed_ = false;
  bool acknowledging_ = true;
  std::string dropReason_;
  RspReader reader_;
  std::string pending_;  // received bytes not yet fed to the reader
  size_t consumed_ = 0;
  std::string lastSent_;  // sent again when the client asks with '-'
};

}  // namespace vantrel::gdb
