// The simulated board behind the library's port seam, for sessions without a real
// cable. Attached with VantrelUsePortIo, exactly as any host may plug in a port.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "board_spec.h"
#include "library.h"

namespace vantrel::cli {

class AttachedBoard {
 public:
  virtual ~AttachedBoard() = default;
  // One line about the board, e.g. its memory, byte order and IDCODE.
  virtual std::string Description() const = 0;
  // The port accesses the board has seen since it was built: what a session costs on
  // the wire, counted where a real cable's time goes. None for a board in another
  // process, which counts them itself.
  virtual std::optional<uint64_t> PortAccesses() const = 0;
};

// Builds the board, attaches it to the library's lpt1 port; null with *error otherwise.
// The board must outlive every call into the library.
std::unique_ptr<AttachedBoard> AttachSimulatedBoard(const client::Library& library, const BoardSpec& spec,
                                                    std::string* error);

// Connects to a remote_bitbang server at "HOST:PORT" (vantrel-board, say) and attaches
// it to the library's lpt1 port, runs of accesses batched; null with *error otherwise.
// The attachment must outlive every call into the library.
std::unique_ptr<AttachedBoard> AttachRemoteBitbang(const client::Library& library, const std::string& address,
                                                   std::string* error);

}  // namespace vantrel::cli
