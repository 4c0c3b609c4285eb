#include "board/remote_bitbang.h"

namespace vsim {

RemoteBitbangSession::RemoteBitbangSession(Board& board) : board_(board) {}

void RemoteBitbangSession::DriveLines() {
  uint8_t data = srst_ ? 0 : kDataReset;
  if (tms_) data |= kDataTms;
  if (tck_) data |= kDataTck;
  if (tdi_) data |= kDataTdi;
  board_.PortWrite(board_.Config().portBase, data);
}

RemoteBitbangSession::Outcome RemoteBitbangSession::Feed(const uint8_t* bytes, size_t count, std::string& reply) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t c = bytes[i];
    if (c >= '0' && c <= '7') {
      int v = c - '0';
      tck_ = (v & 4) != 0;
      tms_ = (v & 2) != 0;
      tdi_ = (v & 1) != 0;
      DriveLines();
    } else if (c == 'R') {
      uint8_t status = board_.PortRead(static_cast<uint16_t>(board_.Config().portBase + 1));
      reply.push_back((status & kStatusTdoInverted) != 0 ? '0' : '1');
    } else if (c >= 'r' && c <= 'u') {
      int v = c - 'r';
      board_.SetTrst((v & 2) != 0);
      srst_ = (v & 1) != 0;
      DriveLines();
    } else if (c == 'Q') {
      return Outcome::kQuit;
    } else if (c == 'B' || c == 'b' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      continue;
    } else {
      ++unknown_;
    }
  }
  return Outcome::kContinue;
}

}  // namespace vsim
