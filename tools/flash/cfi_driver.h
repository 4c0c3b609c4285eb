// The CFI driver: chips of the AMD (0002) and Intel (0001, 0003) command sets on a
// 16-bit bus. With a work area the core erases and programs with the loops of
// loop_programs.h; without one the host makes the command cycles with word stores,
// which only the Intel command set allows (its commands take any address, so a word
// store can carry a command and its confirmation).
#pragma once

#include <memory>
#include <optional>

#include "cfi_query.h"
#include "flash_driver.h"
#include "loop_runner.h"

namespace vantrel::flash {

class CfiDriver : public FlashDriver {
 public:
  CfiDriver(TargetLink& link, FlashBank bank, CfiQuery query, std::optional<WorkArea> area)
      : link_(link), bank_(std::move(bank)), query_(std::move(query)), area_(area) {}

  const FlashBank& Bank() const override { return bank_; }
  const CfiQuery& Query() const { return query_; }
  bool EraseSectors(const std::vector<Sector>& sectors, size_t* reached) override;
  bool EraseChip() override;
  bool Program(uint32_t address, const Bytes& bytes, const ProgressSink& progress) override;
  std::string Error() const override { return link_.Error(); }
  void UseWorkArea(std::optional<WorkArea> area) override { area_ = area; }

 private:
  bool Amd() const { return IsAmdStyle(query_.commandSet); }
  bool EraseByLoop(const std::vector<uint32_t>& targets, uint16_t lastCommand, uint32_t limitMs, size_t* reached);
  bool ProgramByLoop(uint32_t address, const Bytes& bytes, const ProgressSink& progress);
  bool BlankCheck(LoopRunner& runner, uint32_t address, size_t length);
  bool EraseByCycles(const std::vector<Sector>& sectors, size_t* reached);
  bool ProgramByCycles(uint32_t address, const Bytes& bytes, const ProgressSink& progress);
  bool LoopFailed(const LoopOutcome& outcome, const char* operation);
  bool NeedsWorkArea();
  bool EndRuns(LoopRunner& runner, bool ok);
  // After a failure the chip may be mid-sequence or in status mode: the next operation
  // puts it back to read array first.
  bool Settled();
  bool Track(bool ok) {
    unsettled_ = !ok;
    return ok;
  }

  TargetLink& link_;
  FlashBank bank_;
  CfiQuery query_;
  std::optional<WorkArea> area_;
  bool unsettled_ = false;
};

// Ends whatever command sequence the chip at base was left in and puts it in read-array
// mode, without changing a bit of the array.
bool PutChipInReadArray(TargetLink& link, uint32_t base);

// A CFI query at address; the bank and its driver, or nothing with the link's error.
std::unique_ptr<CfiDriver> ProbeCfi(TargetLink& link, uint32_t address, std::optional<WorkArea> area);

}  // namespace vantrel::flash
