// `vantrel gdbserver` on the simulated board as a real process on a free local port,
// and a raw protocol client for it.
#pragma once

#include <memory>
#include <string>

#include "support/child_process.h"

namespace vantrel::test {

class GdbServerProcess {
 public:
  // hostOptions go before `gdbserver` (the board's shape), serverOptions after it; it
  // listens on listenHost and a free port.
  explicit GdbServerProcess(const std::string& hostOptions = "", const std::string& serverOptions = "",
                            const std::string& listenHost = "127.0.0.1");
  bool Listening() const { return listening_; }
  int Port() const { return port_; }
  // What the server said up to its "listening on" line.
  const std::string& Greeting() const { return greeting_; }

 private:
  int port_ = 0;
  bool listening_ = false;
  std::string greeting_;
  std::unique_ptr<ChildProcess> process_;
};

// One client connection with its replies read as they come.
class RawClient {
 public:
  // receiveBuffer: the socket's receive buffer in bytes (0: the system's).
  explicit RawClient(int port, int receiveBuffer = 0);
  ~RawClient();
  bool Connected() const { return socket_ >= 0; }
  void SendBytes(const std::string& bytes);
  // "$payload#cs" with the right checksum.
  void SendPacket(const std::string& payload);
  // Everything received until a complete packet (or timeoutMs): "+$OK#9a".
  std::string Receive(int timeoutMs = 5000);
  // True once the server has closed the connection, within timeoutMs.
  bool ClosedByServer(int timeoutMs);
  void Close();

 private:
  int socket_ = -1;
};

std::string Checksummed(const std::string& payload);

}  // namespace vantrel::test
