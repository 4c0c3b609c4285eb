// A cable reached over TCP with OpenOCD's remote_bitbang protocol (vantrel-board, or any
// remote_bitbang server), plugged into the library's port seam. The parallel port's data
// byte becomes the TCK/TMS/TDI command and the reset line 'r'/'s', a status read becomes
// 'R'. Runs of accesses come through the batch entry: their bytes go out in one send and
// their reads are all in flight at once, so a captured scan costs one round trip.
//
// A link that closes or stays silent for ReplyTimeoutMs is lost for good: from then on
// every read is 0xFF and every write is dropped, which the library sees as a cable
// without power, exactly as through the single-access callbacks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vantrel_port.h"

namespace vantrel::client {

class RemoteBitbangPort {
 public:
  static constexpr uint16_t kDefaultDataPort = 0x378;  // lpt1, where the library looks first
  static constexpr int kDefaultReplyTimeoutMs = 10000;

  explicit RemoteBitbangPort(uint16_t dataPort = kDefaultDataPort) : data_port_(dataPort) {}
  ~RemoteBitbangPort();  // says goodbye ('Q') and closes
  RemoteBitbangPort(const RemoteBitbangPort&) = delete;
  RemoteBitbangPort& operator=(const RemoteBitbangPort&) = delete;

  // "HOST:PORT" (a name or an IPv4 address); false with the reason in *error.
  bool Connect(const std::string& address, std::string* error);
  void SetReplyTimeoutMs(int milliseconds) { reply_timeout_ms_ = milliseconds; }

  // Callbacks bound to this object, valid while it lives; pass both to VantrelUsePortBatch.
  VantrelPortIo Io();
  static VantrelPortBatch BatchEntry() { return &RunBatch; }

  bool LinkLost() const { return lost_; }
  const std::string& LostReason() const { return lost_reason_; }
  uint64_t RoundTrips() const { return round_trips_; }

 private:
  static unsigned char VANTREL_CALL Read(void* context, unsigned short port);
  static void VANTREL_CALL Write(void* context, unsigned short port, unsigned char value);
  static void VANTREL_CALL RunBatch(void* context, VantrelPortAccess* accesses, unsigned int count);

  void AppendWrite(uint16_t port, uint8_t value);
  // Sends what is pending and waits for replyCount answers; false when the link is lost.
  bool Exchange(std::size_t replyCount);
  void Lose(const std::string& why);

  uint16_t data_port_;
  int fd_ = -1;
  int reply_timeout_ms_ = kDefaultReplyTimeoutMs;
  uint8_t last_data_ = 0xFF;
  bool reset_held_ = false;
  bool lost_ = false;
  std::string lost_reason_;
  std::string outgoing_;
  std::string replies_;
  uint64_t round_trips_ = 0;
};

}  // namespace vantrel::client
