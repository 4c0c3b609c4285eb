// The server's listening socket. One client is served at a time; any other that
// connects meanwhile is told at once that the server is busy and closed, instead of
// waiting unanswered behind the first. A client that connects as the last one leaves
// (GDB reconnecting) is served, not refused.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vantrel::gdb {

struct ListenAddress;

// What a refused client reads, as the answer to its first packet.
inline constexpr const char* kBusyReply = "E.already serving a client";

class ClientListener {
 public:
  // Empty with *error when the address cannot be listened on.
  static std::unique_ptr<ClientListener> Open(const ListenAddress& address, std::string* error);
  ~ClientListener();
  ClientListener(const ClientListener&) = delete;
  ClientListener& operator=(const ClientListener&) = delete;

  // False when the socket is bound to a loopback address only.
  bool ReachableFromOtherMachines() const;
  // The next client's socket; waits for one, calling whileWaiting now and then.
  int Accept(const std::function<void()>& whileWaiting = {});
  // Runs serve() while every other client that connects is refused.
  void ServeRefusingOthers(const std::function<void()>& serve);

 private:
  ClientListener(int socket, int wakeRead, int wakeWrite)
      : socket_(socket), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}
  // Refuses clients until the session ends; a client that came just before is the next.
  void RefuseUntilWoken();
  // True once the session has ended, within timeoutMs.
  bool SessionEnded(int timeoutMs);
  void Refuse(int client);

  int socket_;
  int next_ = -1;  // a client accepted while the last session ended
  int wakeRead_;   // a byte on this pipe ends the refusing
  int wakeWrite_;
};

}  // namespace vantrel::gdb
