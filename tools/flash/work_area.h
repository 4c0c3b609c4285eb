// The RAM the flash layer may borrow for its loop and its buffer: the same place the
// library's fast transfers borrow, learnt the way a front end can learn it: the
// workarea= line of the lpt.ini the library reads (beside the host's executable), or
// else the first region the host declared read-write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "library.h"

namespace vantrel::flash {

struct WorkArea {
  uint32_t address = 0;
  uint32_t size = 0;
};

// The workarea= value of an lpt.ini text ("3F000,100", hexadecimal, 0x allowed).
std::optional<WorkArea> WorkAreaFromIni(const std::string& text);
// The first read-write row of the library's region listing (command 86).
std::optional<WorkArea> WorkAreaFromListing(const std::string& listing);

// lpt.ini beside the running program first, then the declared regions.
std::optional<WorkArea> FindWorkArea(const client::Library& library);

}  // namespace vantrel::flash
