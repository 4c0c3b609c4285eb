// Built when the simulated board is not part of the build: only a real cable works.
#include "board_attachment.h"

namespace vantrel::cli {

std::unique_ptr<AttachedBoard> AttachSimulatedBoard(const client::Library&, const BoardSpec&, std::string* error) {
  *error = "this build has no simulated board; use --port lpt1|lpt2|lpt3 with a real cable";
  return nullptr;
}

}  // namespace vantrel::cli
