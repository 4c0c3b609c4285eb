#include "board/board.h"

#include <chrono>

#include "board/scan_chains.h"

namespace vsim {

namespace {

constexpr uint64_t kOwedSlice = 1024;         // owed instructions run at once, not hoarded
constexpr uint64_t kQuietCheckInterval = 64;  // port accesses between clock reads
// A quiet spell is a sleep of the host, and the shortest the library or its hosts take
// is 1 ms; a busy host that is merely slow (a sanitizer build) is not quiet.
constexpr int64_t kQuietThresholdNs = 1000000;
constexpr uint64_t kQuietCap = 20000;       // instructions a single quiet spell may owe
constexpr uint8_t kStatusFixedBits = 0x1F;  // reserved, nERROR and SELECT read high

BoardConfig Usable(BoardConfig config) {
  if (!ValidateConfig(config).empty()) return BoardConfig{};
  return config;
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

Board::Board(BoardConfig config)
    : config_(Usable(std::move(config))),
      memory_(config_.regions, config_.endianness),
      core_(memory_, ice_, config_.faults.coreNeverHalts, config_.timer),
      tap_(config_.idcode, *this) {
  lastClockNs_ = NowNs();
}

// ---- Port ------------------------------------------------------------------------------

void Board::CountAccess() {
  ++portAccesses_;
  if (memory_.FlashBusy()) ++flashBusyAccesses_;
}

uint8_t Board::PortRead(uint16_t port) {
  CountAccess();
  if (port == config_.portBase) return config_.faults.noCable ? kFloatingBus : data_;
  if (port == config_.portBase + 1) return ReadStatus();
  if (port == config_.portBase + 2) return control_;
  return kFloatingBus;
}

void Board::PortWrite(uint16_t port, uint8_t value) {
  CountAccess();
  if (port == config_.portBase) {
    WriteData(value);
  } else if (port == config_.portBase + 2) {
    control_ = value;
  }
}

bool Board::Tdo() const { return config_.faults.targetAbsent ? true : tap_.Tdo(); }

uint8_t Board::ReadStatus() const {
  uint8_t status = kStatusFixedBits;
  if (!Tdo()) status |= kStatusTdoInverted;
  if (config_.faults.powerBad) status |= kStatusPowerSense1 | kStatusPowerSense2;
  return status;
}

void Board::WriteData(uint8_t value) {
  uint8_t old = data_;
  data_ = value;
  SetResetHeld((value & kDataReset) == 0);
  if ((value & kDataTck) != 0 && (old & kDataTck) == 0) {
    RisingEdge((value & kDataTms) != 0, (value & kDataTdi) != 0);
  }
}

void Board::SetResetHeld(bool held) {
  if (held && !core_.InReset()) {
    CatchUp();
    core_.HoldReset();
  } else if (!held && core_.InReset()) {
    owed_ = 0;
    core_.ReleaseReset();
  }
}

bool Board::ClockTap(bool tms, bool tdi) {
  const bool tdo = Tdo();
  RisingEdge(tms, tdi);
  return tdo;
}

void Board::RisingEdge(bool tms, bool tdi) {
  ++tckCycles_;
  memory_.Tick();
  tap_.Clock(tms, tdi);
  if (core_.Runnable()) {
    owed_ += static_cast<uint64_t>(config_.instructionsPerTck);
    if (owed_ >= kOwedSlice) CatchUp();
  }
}

void Board::SetTrst(bool asserted) {
  if (asserted) tap_.Reset();
}

// The time the board spends running the core is not the host's: the next quiet-spell
// check must not take it for a sleep, or a slow build would owe ever more instructions.
void Board::CatchUp() {
  if (owed_ == 0) return;
  uint64_t owed = owed_;
  owed_ = 0;
  if (config_.freeRunInstructionsPerMs == 0) {
    core_.Run(owed, true);
    return;
  }
  const int64_t start = NowNs();
  core_.Run(owed, true);
  lastClockNs_ += NowNs() - start;
}

// ---- TAP hooks -------------------------------------------------------------------------

uint64_t Board::CaptureChain1() { return Chain1Cells(core_.BusValue(), core_.EntryBit()); }

void Board::UpdateChain1(uint64_t cells) {
  chain1Word_ = Chain1Word(cells);
  chain1Breakpt_ = Chain1Breakpt(cells);
}

uint32_t Board::CaptureChain2Data() { return readLatch_; }

void Board::UpdateChain2(uint64_t cells) {
  CatchUp();  // the instructions owed happened before this access
  int address = Chain2Address(cells);
  if (Chain2Write(cells)) {
    ice_.Write(address, Chain2Data(cells));
    core_.Unpark();
  } else {
    readLatch_ = ice_.Read(address, core_.Signals());
  }
}

void Board::IdleEdge(bool chain1Intest) {
  bool request = (ice_.Peek(kIceDebugControl, core_.Signals()) & kCtrlDbgrq) != 0;
  if (request != ice_.DebugRequestToCore()) {
    CatchUp();
    ice_.SyncDebugRequest();
    if (request) {
      core_.Unpark();
      core_.Run(1, false);  // stops at the next boundary (runs on if it never halts)
    }
  }
  if (chain1Intest) core_.DebugClock(chain1Word_, chain1Breakpt_);
}

void Board::RestartEntered() {
  CatchUp();
  core_.Restart();
}

// ---- Running and state -----------------------------------------------------------------

uint64_t Board::RunInstructions(uint64_t count) {
  owed_ = 0;
  return core_.Run(count, false);
}

uint64_t Board::FreeRun(uint64_t count) {
  uint64_t done = 0;
  if (owed_ > 0) {
    done += core_.Run(owed_, true);
    owed_ = 0;
  }
  return done + core_.Run(count, true);
}

uint32_t Board::Reg(int index) const {
  if (index == 15) return core_.Pc();
  return core_.Cpu().Reg(index);
}

void Board::SetReg(int index, uint32_t value) {
  if (index == 15) {
    core_.SetPc(value);
  } else {
    core_.Cpu().SetReg(index, value);
  }
}

bool Board::ReadMemory(uint32_t address, std::span<uint8_t> out) const {
  return memory_.ReadBytes(address, out.data(), out.size());
}

bool Board::WriteMemory(uint32_t address, std::span<const uint8_t> in) {
  core_.Unpark();
  return memory_.WriteBytes(address, in.data(), in.size());
}

uint32_t Board::ReadWord(uint32_t address) const {
  uint8_t bytes[4] = {};
  memory_.ReadBytes(address & ~3u, bytes, 4);
  if (config_.endianness == Endianness::kBig) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
  }
  return uint32_t{bytes[3]} << 24 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[1]} << 8 | bytes[0];
}

void Board::WriteWord(uint32_t address, uint32_t value) {
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) {
    int shift = config_.endianness == Endianness::kBig ? 24 - 8 * i : 8 * i;
    bytes[i] = static_cast<uint8_t>(value >> shift);
  }
  WriteMemory(address & ~3u, bytes);
}

uint32_t Board::IceRegister(int address) const { return ice_.Peek(address & 0x1F, core_.Signals()); }

void Board::SetIceRegister(int address, uint32_t value) {
  ice_.Write(address & 0x1F, value);
  core_.Unpark();
}

BoardCounters Board::Counters() const {
  const CoreCounters& c = core_.Counters();
  return BoardCounters{portAccesses_,
                       tckCycles_,
                       c.debugClocks,
                       c.restarts,
                       c.systemSpeedAccesses,
                       c.instructions,
                       c.fastForwarded,
                       memory_.FlashBusyTicks() - flashBusyTicksBefore_,
                       flashBusyAccesses_};
}

void Board::ResetCounters() {
  portAccesses_ = tckCycles_ = flashBusyAccesses_ = 0;
  flashBusyTicksBefore_ = memory_.FlashBusyTicks();
  core_.ResetCounters();
}

// ---- VantrelPortIo ---------------------------------------------------------------------

VantrelPortIo Board::PortIo() { return VantrelPortIo{this, &AcquireCallback, &ReadCallback, &WriteCallback}; }

void Board::AccrueQuietTime() {
  // Reading the clock on every access would cost more than the access itself; a quiet
  // spell (a sleep of the host) shows up at the next check all the same.
  if (config_.freeRunInstructionsPerMs == 0 || ++accessesSinceClock_ < kQuietCheckInterval) return;
  accessesSinceClock_ = 0;
  int64_t now = NowNs();
  int64_t gap = now - lastClockNs_;
  lastClockNs_ = now;
  if (gap < kQuietThresholdNs) return;
  OweQuietTime(static_cast<uint64_t>(gap / 1000));
}

void Board::OweQuietTime(uint64_t microseconds) {
  if (!core_.Runnable()) return;
  uint64_t owed = microseconds * static_cast<uint64_t>(config_.freeRunInstructionsPerMs) / 1000;
  owed_ += owed < kQuietCap ? owed : kQuietCap;
}

void Board::PassQuietTime(unsigned milliseconds) {
  if (config_.freeRunInstructionsPerMs == 0) return;
  OweQuietTime(uint64_t{milliseconds} * 1000);
}

int Board::AcquireCallback(void* context) {
  (void)context;
  return 0;
}

unsigned char Board::ReadCallback(void* context, unsigned short port) {
  auto* board = static_cast<Board*>(context);
  board->AccrueQuietTime();
  return board->PortRead(port);
}

void Board::WriteCallback(void* context, unsigned short port, unsigned char value) {
  auto* board = static_cast<Board*>(context);
  board->AccrueQuietTime();
  board->PortWrite(port, value);
}

}  // namespace vsim
