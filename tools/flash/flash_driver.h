// What the flash layer asks of a flash driver. The CFI driver programs parallel NOR
// chips through command cycles; a driver for an on-chip flash controller fits the same
// interface, and the rest of the layer (planning, keeping, verifying, the front ends)
// only sees this.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "flash_bank.h"
#include "target_link.h"
#include "work_area.h"

namespace vantrel::flash {

// Told the bytes programmed so far of the total.
using ProgressSink = std::function<void(uint64_t done, uint64_t total)>;

class FlashDriver {
 public:
  virtual ~FlashDriver() = default;
  virtual const FlashBank& Bank() const = 0;
  // Erases whole sectors of the bank, in order; *reached counts those the driver has
  // started on, so a failure names the ones that may be incomplete.
  virtual bool EraseSectors(const std::vector<Sector>& sectors, size_t* reached) = 0;
  virtual bool EraseChip() = 0;
  // Programs erased flash (address and length even, inside the bank) and checks that it
  // holds the bytes, 0xFF ones included; false with the first difference.
  virtual bool Program(uint32_t address, const Bytes& bytes, const ProgressSink& progress) = 0;
  virtual std::string Error() const = 0;
  // The RAM the driver may borrow from now on, if any.
  virtual void UseWorkArea(std::optional<WorkArea> area) = 0;
};

}  // namespace vantrel::flash
