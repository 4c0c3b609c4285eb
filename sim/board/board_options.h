// The command line of vantrel-board: the board's memory, byte order, IDCODE and faults,
// the listening port and images to load.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_config.h"

namespace vsim {

struct ImageToLoad {
  std::string path;
  uint32_t address = 0;
};

struct BoardOptions {
  BoardConfig config;
  int listenPort = -1;  // 0: any free port
  std::vector<ImageToLoad> images;
  bool help = false;
};

// Fills options from argv; returns an empty string or the reason the line is refused.
std::string ParseBoardOptions(int argc, const char* const* argv, BoardOptions& options);
const char* BoardUsage();

}  // namespace vsim
