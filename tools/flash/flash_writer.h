// Putting an image into flash: the sectors it covers are erased, the bytes of those
// sectors the image does not cover are kept (read first, programmed again), and the
// image is programmed; the driver checks every byte of the sectors it programmed.
// Nothing outside the covered sectors is touched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "flash_driver.h"

namespace vantrel::flash {

struct Piece {
  uint32_t address = 0;
  Bytes bytes;
};

// Where the write is, for a progress bar.
enum class Phase { kRead, kErase, kProgram };
using PhaseSink = std::function<void(Phase phase, uint64_t done, uint64_t total)>;

// A run of adjacent covered sectors and what they hold once written.
struct SectorRun {
  uint32_t address = 0;
  Bytes contents;
  std::vector<Sector> sectors;
  uint32_t End() const { return address + static_cast<uint32_t>(contents.size()); }
};

// The runs the pieces cover, image bytes over 0xFF; where keep() gives the old contents
// of a sector only partly covered, those come first. False with *error when a piece
// leaves the bank or two pieces overlap.
bool PlanRuns(const FlashBank& bank, const std::vector<Piece>& pieces, std::vector<SectorRun>* runs,
              std::string* error);

class FlashWriter {
 public:
  FlashWriter(FlashDriver& driver, TargetLink& link) : driver_(driver), link_(link) {}
  bool Write(const std::vector<Piece>& pieces, const PhaseSink& phase);
  // Pieces into flash a front end erased itself (GDB's vFlashErase): programmed and
  // read back, nothing erased or kept.
  bool ProgramErased(const std::vector<Piece>& pieces, const PhaseSink& phase);
  // The sectors covering [address, address + length), erased.
  bool Erase(uint32_t address, uint64_t length, std::vector<Sector>* erased);
  const std::string& Error() const { return error_; }

 private:
  bool KeepUncovered(const std::vector<Piece>& pieces, std::vector<SectorRun>* runs, const PhaseSink& phase);
  bool EraseRuns(const std::vector<SectorRun>& runs, const PhaseSink& phase);
  bool ProgramRuns(const std::vector<SectorRun>& runs, const PhaseSink& phase);
  bool Failed(const std::string& what, const std::vector<Sector>& incomplete);

  FlashDriver& driver_;
  TargetLink& link_;
  std::string error_;
};

}  // namespace vantrel::flash
