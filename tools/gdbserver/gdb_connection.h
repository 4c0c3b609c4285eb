// One GDB client on a socket: packets in and out with acknowledgements until the
// client turns them off, and a look for the break byte while the core runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rsp_codec.h"

namespace vantrel::gdb {

class GdbConnection {
 public:
  explicit GdbConnection(int socket) : socket_(socket) {}
  ~GdbConnection();
  GdbConnection(const GdbConnection&) = delete;
  GdbConnection& operator=(const GdbConnection&) = delete;

  // The next packet or break from the client, waiting at most timeoutMs (-1: for
  // ever). Empty on a timeout; Closed() tells when the client has gone.
  std::optional<RspEvent> Next(int timeoutMs);
  bool Closed() const { return closed_; }

  void Send(std::string_view payload);
  void StopAcknowledging() { acknowledging_ = false; }

 private:
  bool WriteAll(std::string_view bytes);
  bool Fill(int timeoutMs);

  int socket_;
  bool closed_ = false;
  bool acknowledging_ = true;
  RspReader reader_;
  std::string pending_;  // received bytes not yet fed to the reader
  size_t consumed_ = 0;
  std::string lastSent_;  // sent again when the client asks with '-'
};

}  // namespace vantrel::gdb
