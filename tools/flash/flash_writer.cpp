#include "flash_writer.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::flash {

namespace {

constexpr unsigned char kErased = 0xFF;

bool Covers(const Piece& piece, uint32_t address) {
  return address >= piece.address && address - piece.address < piece.bytes.size();
}

// The sectors of runs from the one holding address onward.
std::vector<Sector> SectorsFrom(const std::vector<SectorRun>& runs, size_t run, uint32_t address) {
  std::vector<Sector> sectors;
  for (size_t i = run; i < runs.size(); ++i) {
    for (const Sector& sector : runs[i].sectors) {
      if (i > run || sector.End() > address) sectors.push_back(sector);
    }
  }
  return sectors;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

}  // namespace

bool PlanRuns(const FlashBank& bank, const std::vector<Piece>& pieces, std::vector<SectorRun>* runs,
              std::string* error) {
  std::vector<Sector> covered;
  for (const Piece& piece : pieces) {
    if (piece.bytes.empty()) continue;
    if (!bank.Contains(piece.address) || piece.address + uint64_t{piece.bytes.size()} > bank.End()) {
      *error = "the data at " + Hex(piece.address) + " does not lie inside the flash bank";
      return false;
    }
    for (const Sector& sector : bank.SectorsCovering(piece.address, piece.bytes.size())) covered.push_back(sector);
  }
  std::sort(covered.begin(), covered.end(), [](const Sector& a, const Sector& b) { return a.address < b.address; });
  covered.erase(std::unique(covered.begin(), covered.end(),
                            [](const Sector& a, const Sector& b) { return a.address == b.address; }),
                covered.end());
  runs->clear();
  for (const Sector& sector : covered) {
    if (runs->empty() || runs->back().End() != sector.address) runs->push_back({sector.address, {}, {}});
    runs->back().contents.resize(runs->back().contents.size() + sector.size, kErased);
    runs->back().sectors.push_back(sector);
  }
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (size_t j = i + 1; j < pieces.size(); ++j) {
      const Piece& a = pieces[i];
      const Piece& b = pieces[j];
      if (!a.bytes.empty() && !b.bytes.empty() && (Covers(a, b.address) || Covers(b, a.address))) {
        *error = "the image's pieces at " + Hex(a.address) + " and " + Hex(b.address) + " overlap";
        return false;
      }
    }
  }
  return true;
}

bool FlashWriter::Failed(const std::string& what, const std::vector<Sector>& incomplete) {
  error_ = what + ": " + driver_.Error();
  if (!incomplete.empty()) error_ += "; these sectors may be incomplete: " + DescribeSectors(incomplete);
  return false;
}

// The old bytes of each covered sector first, so the image's bytes only replace their own.
bool FlashWriter::KeepUncovered(const std::vector<Piece>& pieces, std::vector<SectorRun>* runs,
                                const PhaseSink& phase) {
  uint64_t total = 0;
  for (const SectorRun& run : *runs) total += run.contents.size();
  uint64_t done = 0;
  for (SectorRun& run : *runs) {
    for (const Sector& sector : run.sectors) {
      const uint32_t start = sector.address - run.address;
      bool fully = true;
      for (uint32_t at = sector.address; fully && at < sector.End(); ++at) {
        fully = std::any_of(pieces.begin(), pieces.end(), [&](const Piece& p) { return Covers(p, at); });
      }
      if (!fully) {
        Bytes old;
        if (!link_.Read(sector.address, sector.size, &old)) return Failed("read", {});
        std::copy(old.begin(), old.end(), run.contents.begin() + start);
      }
      done += sector.size;
      if (phase) phase(Phase::kRead, done, total);
    }
    for (const Piece& piece : pieces) {
      const uint64_t first = std::max<uint64_t>(piece.address, run.address);
      const uint64_t end = std::min<uint64_t>(piece.address + uint64_t{piece.bytes.size()}, run.End());
      if (first >= end) continue;
      std::copy(piece.bytes.begin() + static_cast<std::ptrdiff_t>(first - piece.address),
                piece.bytes.begin() + static_cast<std::ptrdiff_t>(end - piece.address),
                run.contents.begin() + static_cast<std::ptrdiff_t>(first - run.address));
    }
  }
  return true;
}

bool FlashWriter::EraseRuns(const std::vector<SectorRun>& runs, const PhaseSink& phase) {
  std::vector<Sector> sectors;
  for (const SectorRun& run : runs) sectors.insert(sectors.end(), run.sectors.begin(), run.sectors.end());
  if (phase) phase(Phase::kErase, 0, sectors.size());
  size_t reached = 0;
  if (!driver_.EraseSectors(sectors, &reached)) {
    // Every covered sector lost its old bytes or may have: the image is not there yet.
    return Failed("erase", sectors);
  }
  if (phase) phase(Phase::kErase, sectors.size(), sectors.size());
  return true;
}

bool FlashWriter::ProgramRuns(const std::vector<SectorRun>& runs, const PhaseSink& phase) {
  uint64_t total = 0;
  for (const SectorRun& run : runs) total += run.contents.size();
  uint64_t before = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    const SectorRun& run = runs[i];
    uint64_t reached = 0;
    const bool ok = driver_.Program(run.address, run.contents, [&](uint64_t done, uint64_t) {
      reached = done;
      if (phase) phase(Phase::kProgram, before + done, total);
    });
    if (!ok) return Failed("program", SectorsFrom(runs, i, run.address + static_cast<uint32_t>(reached)));
    before += run.contents.size();
  }
  return true;
}

bool FlashWriter::Write(const std::vector<Piece>& pieces, const PhaseSink& phase) {
  std::vector<SectorRun> runs;
  if (!PlanRuns(driver_.Bank(), pieces, &runs, &error_)) return false;
  if (runs.empty()) return true;
  return KeepUncovered(pieces, &runs, phase) && EraseRuns(runs, phase) && ProgramRuns(runs, phase);
}

bool FlashWriter::ProgramErased(const std::vector<Piece>& pieces, const PhaseSink& phase) {
  std::vector<SectorRun> runs;
  if (!PlanRuns(driver_.Bank(), pieces, &runs, &error_)) return false;
  runs.clear();
  for (const Piece& piece : pieces) {
    if (piece.bytes.empty()) continue;
    if ((piece.address & 1) != 0 || (piece.bytes.size() & 1) != 0) {
      error_ = "flash is programmed in whole halfwords: the data at " + Hex(piece.address) + " is not";
      return false;
    }
    runs.push_back({piece.address, piece.bytes, driver_.Bank().SectorsCovering(piece.address, piece.bytes.size())});
  }
  return ProgramRuns(runs, phase);
}

bool FlashWriter::Erase(uint32_t address, uint64_t length, std::vector<Sector>* erased) {
  const FlashBank& bank = driver_.Bank();
  if (length == 0) return error_ = "the length must be at least 1", false;
  if (!bank.Contains(address) || address + length > bank.End()) {
    return error_ = "the range does not lie inside the flash bank", false;
  }
  *erased = bank.SectorsCovering(address, length);
  size_t reached = 0;
  if (!driver_.EraseSectors(*erased, &reached)) {
    return Failed("erase",
                  std::vector<Sector>(erased->begin(), erased->begin() + static_cast<std::ptrdiff_t>(reached)));
  }
  return true;
}

}  // namespace vantrel::flash
