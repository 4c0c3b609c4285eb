// OpenOCD's remote_bitbang protocol, one byte per command, turned into the cable lines
// of a Board. Kept apart from the socket so that it can be fed any bytes in a test.
//   '0'-'7'  TCK (4), TMS (2), TDI (1)     'R'  TDO, answered '0' or '1'
//   'r'-'u'  TRST (2), SRST (1), asserted   'B' 'b'  LED, ignored
//   'Q'      the client quits
// Blanks and line ends are ignored; any other byte is counted as unknown and ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/board.h"

namespace vsim {

class RemoteBitbangSession {
 public:
  explicit RemoteBitbangSession(Board& board);

  enum class Outcome { kContinue, kQuit };
  // Handles the bytes in order, appending each answer to reply. Stops at 'Q'.
  Outcome Feed(const uint8_t* bytes, size_t count, std::string& reply);
  uint64_t UnknownBytes() const { return unknown_; }

 private:
  void DriveLines();

  Board& board_;
  bool tck_ = false;
  bool tms_ = false;
  bool tdi_ = false;
  bool srst_ = false;
  uint64_t unknown_ = 0;
};

}  // namespace vsim
