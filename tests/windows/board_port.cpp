#include "board_port.h"

#include "board/board.h"

namespace {
vsim::Board& TheBoard() {
  static vsim::Board board{vsim::BoardConfig{}};
  return board;
}
}  // namespace

extern "C" VantrelPortIo __cdecl TestBoardPortIo(void) { return TheBoard().PortIo(); }
extern "C" unsigned __cdecl TestBoardReadWord(unsigned address) { return TheBoard().ReadWord(address); }
