// The simulated board behind the library's lpt1 port.
#include <cstdio>
#include <string>

#include "board/board.h"
#include "board_attachment.h"

namespace vantrel::cli {

namespace {

vsim::RegionKind ToBoardKind(BoardRegionSpec::Kind kind) {
  switch (kind) {
    case BoardRegionSpec::Kind::kRom: return vsim::RegionKind::kRom;
    case BoardRegionSpec::Kind::kAbort: return vsim::RegionKind::kAbort;
    case BoardRegionSpec::Kind::kFlash: return vsim::RegionKind::kFlash;
    default: return vsim::RegionKind::kRam;
  }
}

BoardRegionSpec::Kind FromBoardKind(vsim::RegionKind kind) {
  switch (kind) {
    case vsim::RegionKind::kRom: return BoardRegionSpec::Kind::kRom;
    case vsim::RegionKind::kAbort: return BoardRegionSpec::Kind::kAbort;
    case vsim::RegionKind::kFlash: return BoardRegionSpec::Kind::kFlash;
    default: return BoardRegionSpec::Kind::kRam;
  }
}

vsim::FlashKind ToFlashKind(BoardRegionSpec::FlashKind kind) {
  return kind == BoardRegionSpec::FlashKind::kIntel16 ? vsim::FlashKind::kIntel16 : vsim::FlashKind::kAmd16;
}

BoardRegionSpec::FlashKind FromFlashKind(vsim::FlashKind kind) {
  return kind == vsim::FlashKind::kIntel16 ? BoardRegionSpec::FlashKind::kIntel16 : BoardRegionSpec::FlashKind::kAmd16;
}

vsim::BoardConfig ToBoardConfig(const BoardSpec& spec) {
  vsim::BoardConfig config;
  config.portBase = 0x378;  // lpt1 as the library places it by default
  if (!spec.regions.empty()) {
    config.regions.clear();
    for (const BoardRegionSpec& region : spec.regions) {
      config.regions.push_back(
          vsim::MemoryRegion{region.base, region.size, ToBoardKind(region.kind), ToFlashKind(region.flashKind)});
    }
  }
  config.endianness = spec.bigEndian ? vsim::Endianness::kBig : vsim::Endianness::kLittle;
  if (spec.idcode) config.idcode = *spec.idcode;
  return config;
}

class SimulatedBoard final : public AttachedBoard {
 public:
  explicit SimulatedBoard(const vsim::BoardConfig& config) : board_(config), io_(board_.PortIo()) {}
  const VantrelPortIo* PortIo() const { return &io_; }

  std::string Description() const override {
    const vsim::BoardConfig& config = board_.Config();
    std::vector<BoardRegionSpec> regions;
    for (const vsim::MemoryRegion& region : config.regions) {
      regions.push_back(
          BoardRegionSpec{FromBoardKind(region.kind), region.base, region.size, FromFlashKind(region.flashKind)});
    }
    char idcode[32];
    std::snprintf(idcode, sizeof idcode, "IDCODE 0x%08x", config.idcode);
    std::string description = DescribeRegions(regions);
    description += config.endianness == vsim::Endianness::kBig ? ", big-endian, " : ", little-endian, ";
    description += idcode;
    if (config.timer.period != 0) {
      description += ", timer ";
      description += config.timer.line == vsim::InterruptLine::kFiq ? "FIQ" : "IRQ";
      description += " every ";
      description += std::to_string(config.timer.period);
      description += " instructions";
    }
    return description;
  }

  std::optional<uint64_t> PortAccesses() const override { return board_.Counters().portAccesses; }

 private:
  vsim::Board board_;
  VantrelPortIo io_;
};

}  // namespace

std::unique_ptr<AttachedBoard> AttachSimulatedBoard(const client::Library& library, const BoardSpec& spec,
                                                    std::string* error) {
  vsim::BoardConfig config = ToBoardConfig(spec);
  std::string why = spec.timer.empty() ? "" : vsim::ParseTimerOption(spec.timer, &config.timer);
  if (why.empty()) why = vsim::ValidateConfig(config);
  if (!why.empty()) {
    *error = "the simulated board cannot be built: " + why;
    return nullptr;
  }
  auto board = std::make_unique<SimulatedBoard>(config);
  library.UsePortIo(board->PortIo());
  return board;
}

}  // namespace vantrel::cli
