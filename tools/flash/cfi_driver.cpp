// Erase and program through the loops on the core, when the host has a work area.
#include "cfi_driver.h"

#include <algorithm>
#include <cstdio>

#include "cfi_commands.h"

namespace vantrel::flash {

namespace {

// Margins over the chip's own worst case: the host's polls and the loop's start.
constexpr uint32_t kMarginMs = 2000;
constexpr uint32_t kUnknownBlockEraseMs = 10000;
constexpr uint32_t kUnknownWordProgramUs = 1000;
constexpr uint32_t kUsPerMs = 1000;
constexpr uint32_t kWordBytes = 4;
constexpr uint32_t kListEntryBytes = kWordBytes;
constexpr unsigned char kErasedByte = 0xFF;
// The most the buffer takes at once: every byte of it is saved and put back, and every
// run costs a transfer's start and a run and halt of the core. For a 64 KiB image into
// the simulated board 6 KiB a run measured fewest port accesses (1.97 million, against
// 2.02 with 8 KiB and 3 KiB, 1.97 with 4 KiB).
constexpr size_t kMostBufferBytes = 0x1800;

std::string At(const char* what, uint32_t address) {
  char text[96];
  std::snprintf(text, sizeof text, "%s at 0x%08x", what, address);
  return text;
}

void PutWord(Bytes* bytes, uint32_t word) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<unsigned char>(word >> shift));
}

}  // namespace

// The area and the registers back whatever happened; a failure to put them back is
// told after the failure that caused it.
bool CfiDriver::EndRuns(LoopRunner& runner, bool ok) {
  const std::string error = link_.Error();
  if (runner.Finish()) return ok || link_.Fail(error);
  return ok ? false : link_.Fail(error + "; then " + link_.Error());
}

bool CfiDriver::NeedsWorkArea() {
  return link_.Fail(
      "this chip's commands need halfword stores, which only a loop on the core makes: give the host a work "
      "area (lpt.ini workarea=, or a region declared rw)");
}

bool CfiDriver::LoopFailed(const LoopOutcome& outcome, const char* operation) {
  switch (outcome.result) {
    case LoopResult::kBitWouldRise:
      return link_.Fail(At("a bit would have to go from 0 to 1 (the flash is not erased)", outcome.r0));
    case LoopResult::kLocked: return link_.Fail(At("the sector is locked", outcome.r0));
    case LoopResult::kMismatch:
      return link_.Fail(At("verify failed: the flash does not hold what was programmed", outcome.r0));
    case LoopResult::kChipError:
      return link_.Fail(Amd() ? At("time limit exceeded", outcome.r0)
                              : At((std::string("the chip reported a failed ") + operation).c_str(), outcome.r0));
    default: return link_.Fail(At("the flash loop gave an unknown result", outcome.r0));
  }
}

bool CfiDriver::EraseByLoop(const std::vector<uint32_t>& targets, uint16_t lastCommand, uint32_t limitMs,
                            size_t* reached) {
  LoopRunner runner(link_, *area_);
  const uint32_t listBytes = (kEraseHeadWords + static_cast<uint32_t>(targets.size())) * kListEntryBytes;
  if (!runner.Begin(listBytes)) return false;
  const uint32_t perRun = runner.BufferBytes() / kListEntryBytes - kEraseHeadWords;
  const LoopProgram loop = Amd() ? AmdEraseLoop() : IntelEraseLoop();
  bool ok = true;
  for (size_t first = 0; ok && first < targets.size(); first += perRun) {
    const size_t count = std::min<size_t>(perRun, targets.size() - first);
    Bytes input = LoopInput(
        {static_cast<uint32_t>(count), bank_.base + cfi::kAmdUnlock1, bank_.base + cfi::kAmdUnlock2, lastCommand});
    for (size_t i = 0; i < count; ++i) PutWord(&input, targets[first + i]);
    LoopOutcome outcome;
    *reached = first + count;  // the loop may have started on any of them
    ok = runner.Run(loop, input, std::chrono::milliseconds(uint64_t{limitMs} * count + kMarginMs), &outcome);
    if (ok && outcome.result != LoopResult::kDone) {
      *reached = first + (count - outcome.r2) + 1;
      ok = LoopFailed(outcome, "erase");
    }
  }
  return EndRuns(runner, ok);
}

// The erased halfwords at either end need no programming, only a check that they are
// erased, which the core makes without the data crossing the cable.
bool CfiDriver::ProgramByLoop(uint32_t address, const Bytes& bytes, const ProgressSink& progress) {
  size_t first = 0;
  size_t end = bytes.size();
  while (first < end && bytes[first] == kErasedByte && bytes[first + 1] == kErasedByte) first += 2;
  while (end > first && bytes[end - 1] == kErasedByte && bytes[end - 2] == kErasedByte) end -= 2;
  LoopRunner runner(link_, *area_);
  const size_t headBytes = size_t{kProgramHeadWords} * kWordBytes;
  if (!runner.Begin(static_cast<uint32_t>(std::min<size_t>(headBytes + end - first, kMostBufferBytes)))) return false;
  bool ok = BlankCheck(runner, address, first) &&
            BlankCheck(runner, address + static_cast<uint32_t>(end), bytes.size() - end);
  const uint32_t chunk = runner.BufferBytes() - static_cast<uint32_t>(headBytes);
  const uint32_t wordUs = query_.maxWordProgramUs != 0 ? query_.maxWordProgramUs : kUnknownWordProgramUs;
  const LoopProgram loop = Amd() ? AmdProgramLoop() : IntelProgramLoop();
  for (size_t offset = first; ok && offset < end; offset += chunk) {
    const size_t count = std::min<size_t>(chunk, end - offset);
    const unsigned char* part = bytes.data() + offset;
    const auto halfwords = static_cast<uint32_t>(count / 2);
    const Bytes input = LoopInput({address + static_cast<uint32_t>(offset), halfwords, bank_.base + cfi::kAmdUnlock1,
                                   bank_.base + cfi::kAmdUnlock2, 0},
                                  part, count);
    LoopOutcome outcome;
    ok = runner.Run(loop, input, std::chrono::milliseconds(uint64_t{wordUs} * halfwords / kUsPerMs + kMarginMs),
                    &outcome);
    if (ok && outcome.result != LoopResult::kDone) ok = LoopFailed(outcome, "program");
    if (ok && outcome.r9 != LoopChecksum(part, count)) {
      ok = link_.Fail("the data the core programmed is not the data sent to the work area");
    }
    if (ok && progress) progress(offset + count, bytes.size());
  }
  return EndRuns(runner, ok);
}

bool CfiDriver::BlankCheck(LoopRunner& runner, uint32_t address, size_t length) {
  if (length == 0) return true;
  const auto halfwords = static_cast<uint32_t>(length / 2);
  LoopOutcome outcome;
  if (!runner.Run(BlankCheckLoop(), LoopInput({address, halfwords}),
                  std::chrono::milliseconds(kMarginMs + halfwords / kUsPerMs), &outcome)) {
    return false;
  }
  return outcome.result == LoopResult::kDone || LoopFailed(outcome, "blank check");
}

bool CfiDriver::Settled() {
  if (!unsettled_) return true;
  return Track(PutChipInReadArray(link_, bank_.base));
}

bool CfiDriver::EraseSectors(const std::vector<Sector>& sectors, size_t* reached) {
  *reached = 0;
  if (!Settled()) return false;
  if (!area_) return Amd() ? NeedsWorkArea() : Track(EraseByCycles(sectors, reached));
  std::vector<uint32_t> targets;
  targets.reserve(sectors.size());
  for (const Sector& sector : sectors) targets.push_back(sector.address);
  const uint32_t limit = query_.maxBlockEraseMs != 0 ? query_.maxBlockEraseMs : kUnknownBlockEraseMs;
  return Track(EraseByLoop(targets, cfi::kAmdSectorErase, limit, reached));
}

bool CfiDriver::EraseChip() {
  size_t reached = 0;
  // The Intel command set has no chip erase: every block, in turn.
  if (!Amd()) return EraseSectors(bank_.Sectors(), &reached);
  if (!area_) return NeedsWorkArea();
  if (!Settled()) return false;
  const uint32_t limit = query_.maxChipEraseMs != 0
                             ? query_.maxChipEraseMs
                             : kUnknownBlockEraseMs * static_cast<uint32_t>(bank_.Sectors().size());
  return Track(EraseByLoop({bank_.base + cfi::kAmdUnlock1}, cfi::kAmdChipErase, limit, &reached));
}

bool CfiDriver::Program(uint32_t address, const Bytes& bytes, const ProgressSink& progress) {
  if ((address & 1) != 0 || (bytes.size() & 1) != 0) return link_.Fail("flash is programmed in whole halfwords");
  if (!bank_.Contains(address) || uint64_t{address} + bytes.size() > bank_.End()) {
    return link_.Fail("the data does not lie inside the flash bank");
  }
  if (bytes.empty()) return true;
  if (!Settled()) return false;
  if (!area_) return Amd() ? NeedsWorkArea() : Track(ProgramByCycles(address, bytes, progress));
  return Track(ProgramByLoop(address, bytes, progress));
}

}  // namespace vantrel::flash
