// The flash banks a front end has probed, with their drivers: what `flash info` lists,
// what a write or a download into flash is checked against, and what GDB's memory map
// describes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flash_driver.h"
#include "flash_writer.h"
#include "target_link.h"

namespace vantrel::flash {

class FlashBanks {
 public:
  explicit FlashBanks(const client::Library& library) : link_(library) {}

  // A CFI query at address; the bank replaces one that overlaps it.
  const FlashBank* Probe(uint32_t address);
  // The driver of the bank holding address, or nothing.
  FlashDriver* Holding(uint32_t address);
  // The first bank sharing a byte with the range, or nothing.
  const FlashBank* Overlapping(uint32_t address, uint64_t length) const;
  std::vector<const FlashBank*> Banks() const;
  bool Holds(uint32_t address) const { return Overlapping(address, 1) != nullptr; }
  bool Empty() const { return drivers_.empty(); }

  // The pieces into their banks (every piece must lie in a probed bank), then verified.
  bool Write(const std::vector<Piece>& pieces, const PhaseSink& phase);
  bool Erase(uint32_t address, uint64_t length, std::vector<Sector>* erased);
  // Pieces into flash erased already, each inside one bank; read back.
  bool ProgramErased(const std::vector<Piece>& pieces);
  bool EraseAll(const FlashBank** bank);
  std::optional<WorkArea> workArea() const { return area_; }

  const std::string& Error() const { return error_; }
  TargetLink& link() { return link_; }

 private:
  FlashDriver* Prepare(uint32_t address);
  bool Fail(const std::string& message);

  TargetLink link_;
  std::vector<std::unique_ptr<FlashDriver>> drivers_;
  std::optional<WorkArea> area_;
  std::string error_;
};

}  // namespace vantrel::flash
