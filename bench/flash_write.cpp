// A 64 KiB image into one 64 KiB sector of the simulated board's amd16 flash through the
// flash layer, as `flash write` does it (erase, program with the loop from a work area,
// read back), over the real library in its fast mode; and a plain fast write of the same
// image into RAM. Each reports the board's port accesses and TCK cycles
// ("port_accesses", "tck_cycles"); the flash write also its ratio to the RAM write
// ("ratio_to_ram_write"), the chip's busy time ("busy_ticks", board ticks of program and
// erase, about a microsecond or a port access each on a real board), the host's port
// accesses while the chip was busy ("busy_accesses"), what the write costs beyond the RAM
// write and those ("overhead"), and its ratio to the RAM write once the busy time is
// taken off ("ratio_beyond_busy": flash write - busy ticks over the RAM write). The board
// runs only on TCK edges, so the counts are exact.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "board/board.h"
#include "flash_banks.h"
#include "library.h"

namespace {

using namespace vantrel;

constexpr uint32_t kFlashBytes = 0x100000;
constexpr uint32_t kRam = 0x100000;
constexpr uint32_t kRamBytes = 0x40000;
constexpr uint32_t kWorkArea = kRam + 0x20000;
constexpr uint32_t kWorkAreaBytes = 0x8000;
constexpr uint32_t kSector = 0x10000;  // the first 64 KiB sector
constexpr uint32_t kImageBytes = 0x10000;
constexpr int kInstructionsPerTck = 1000;

struct Rig {
  std::unique_ptr<vsim::Board> board;
  client::Library library;
  std::unique_ptr<flash::FlashBanks> banks;
  VantrelPortIo io{};
};

void Require(bool ok) {
  if (!ok) std::abort();
}

Rig& TheRig() {
  static Rig rig;
  if (rig.board == nullptr) {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    // A core far quicker than the cable, as on a real board: the host's polls while the
    // loop runs then measure the chip's busy time, not a slow simulated core.
    config.instructionsPerTck = kInstructionsPerTck;
    config.regions = {{0, kFlashBytes, vsim::RegionKind::kFlash, vsim::FlashKind::kAmd16},
                      {kRam, kRamBytes, vsim::RegionKind::kRam}};
    rig.board = std::make_unique<vsim::Board>(config);
    rig.io = rig.board->PortIo();
    Require(rig.library.Load(VANTREL_LIBRARY_PATH));
    rig.library.UsePortIo(&rig.io);
    rig.library.SetTransferMode(VANTREL_TRANSFER_FAST);
    JtagRequest open = client::EmptyRequest();
    std::snprintf(open.args.open.portName, sizeof open.args.open.portName, "lpt1");
    Require(rig.library.Call(open, VANTREL_CMD_OPEN).Ok());
    Require(rig.library.Call(client::EmptyRequest(), VANTREL_CMD_CONNECT).Ok());
    JtagRequest region = client::EmptyRequest();
    region.args.addRegion = {kWorkArea, kWorkAreaBytes, VANTREL_REGION_READ_WRITE, 0};
    Require(rig.library.Call(region, VANTREL_CMD_ADD_REGION).Ok());
    rig.banks = std::make_unique<flash::FlashBanks>(rig.library);
    Require(rig.banks->Probe(0) != nullptr);
  }
  return rig;
}

flash::Bytes Image(unsigned seed) {
  flash::Bytes bytes(kImageBytes);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7 + (i >> 8));
  return bytes;
}

void Report(benchmark::State& state, const vsim::BoardCounters& before, const vsim::BoardCounters& after) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["port_accesses"] = static_cast<double>(after.portAccesses - before.portAccesses) / runs;
  state.counters["tck_cycles"] = static_cast<double>(after.tckCycles - before.tckCycles) / runs;
}

// A plain fast write of the image into RAM (below the work area).
uint64_t RamWriteAccesses(Rig& rig, const flash::Bytes& image) {
  const uint64_t before = rig.board->Counters().portAccesses;
  Require(rig.banks->link().Write(kRam, image));
  return rig.board->Counters().portAccesses - before;
}

void BM_PlainRamWrite(benchmark::State& state) {
  Rig& rig = TheRig();
  const flash::Bytes image = Image(1);
  const vsim::BoardCounters before = rig.board->Counters();
  for (auto _ : state) RamWriteAccesses(rig, image);
  Report(state, before, rig.board->Counters());
  // The CSV output wants the same counters in every row: RAM is never busy.
  state.counters["ratio_to_ram_write"] = 1;
  state.counters["busy_ticks"] = 0;
  state.counters["busy_accesses"] = 0;
  state.counters["overhead"] = 0;
  state.counters["ratio_beyond_busy"] = 1;
}

void BM_FlashWrite(benchmark::State& state) {
  Rig& rig = TheRig();
  const uint64_t ramAccesses = RamWriteAccesses(rig, Image(1));
  unsigned seed = 0;
  const vsim::BoardCounters before = rig.board->Counters();
  for (auto _ : state) Require(rig.banks->Write({{kSector, Image(++seed)}}, {}));
  const vsim::BoardCounters after = rig.board->Counters();
  Report(state, before, after);
  const auto runs = static_cast<double>(state.iterations());
  const double accesses = state.counters["port_accesses"];
  const double ram = static_cast<double>(ramAccesses);
  const double busyTicks = static_cast<double>(after.flashBusyTicks - before.flashBusyTicks) / runs;
  const double busyAccesses = static_cast<double>(after.flashBusyAccesses - before.flashBusyAccesses) / runs;
  state.counters["ratio_to_ram_write"] = accesses / ram;
  state.counters["busy_ticks"] = busyTicks;
  state.counters["busy_accesses"] = busyAccesses;
  state.counters["overhead"] = accesses - ram - busyAccesses;
  state.counters["ratio_beyond_busy"] = (accesses - busyTicks) / ram;
}

}  // namespace

BENCHMARK(BM_PlainRamWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlashWrite)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
