// Random request sequences through Dll_Jtag_Entry on the simulated board, with a cable
// that may be pulled or lose power part-way. Nothing may crash, hang or overrun a
// buffer, and once the cable has failed no memory transfer may answer success. The
// board's memory outside every write's range (and outside the work area, once the
// session ends with the cable and the core's halting intact) stays as it was.
//
// An input is a board (memory layout, byte order, a fault and when it strikes), the
// transfer mode and for the fast one perhaps a work area, followed by up to kMaxRequests requests. Pointer fields
// always point at the fuzzer's own buffers, which are as large as the biggest length a request may give: the host owns
// its buffers, and one that lies about their size is not the library's input.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "arm7/arm7_state.h"
#include "arm7/arm7tdmi_core.h"
#include "arm7/core_state.h"
#include "arm7/progress.h"
#include "board/board.h"
#include "cable/cable.h"
#include "cable/cable_registry.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "api/instance.h"
#include "api/session.h"
#include "platform/clock.h"
#include "target/memory_map.h"
#include "target/target_state.h"
#include "vantrel.h"
#include "vantrel_port.h"

namespace {

constexpr int kMaxRequests = 24;
constexpr int32_t kMaxTransferBytes = 8192;  // past the 256-byte line: jobs run too
constexpr uint64_t kMaxFaultAccess = 4'000'000;
constexpr int32_t kBackgroundBytes = 256;  // from this length on a transfer runs as a job

enum class CableFault : uint8_t { kNone, kUnplugged, kPowerLost, kMaxValue = kPowerLost };

// The board behind a cable that fails after a number of accesses.
struct FaultyCable {
  vsim::Board* board = nullptr;
  VantrelPortIo boardIo{};
  CableFault fault = CableFault::kNone;
  uint64_t failAfter = 0;
  uint64_t accesses = 0;

  bool Failed() const { return fault != CableFault::kNone && accesses >= failAfter; }

  static int Acquire(void* context) {
    auto* self = static_cast<FaultyCable*>(context);
    return self->boardIo.acquire != nullptr ? self->boardIo.acquire(self->boardIo.context) : 0;
  }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<FaultyCable*>(context);
    ++self->accesses;
    if (self->Failed() && self->fault == CableFault::kUnplugged) return 0xFF;
    unsigned char value = self->boardIo.read(self->boardIo.context, port);
    // Both sense lines read 1 (not good) once the target's power is gone.
    if (self->Failed() && port == self->board->Config().portBase + 1)
      value |= vsim::kStatusPowerSense1 | vsim::kStatusPowerSense2;
    return value;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<FaultyCable*>(context);
    ++self->accesses;
    if (self->Failed() && self->fault == CableFault::kUnplugged) return;
    self->boardIo.write(self->boardIo.context, port, value);
  }
};

std::array<uint8_t, kMaxTransferBytes> g_image;
std::array<uint8_t, kMaxTransferBytes> g_read_buffer;

// Everything the library keeps between calls as at load, for one input; the instance
// made at start serves every input. The exports reach the host's session, whose command
// state (the job's result, the target's state and its core) is made anew; no job runs
// then, since each input ends by waiting for the last one.
struct FreshLibrary {
  FreshLibrary() {
    vantrel::commands::CommandState& commands = vantrel::api::TheSession().commands;
    std::destroy_at(&commands);
    std::construct_at(&commands);
  }
};

vsim::BoardConfig BoardFrom(FuzzedDataProvider& in) {
  vsim::BoardConfig config;
  config.freeRunInstructionsPerMs = 0;  // the same input always does the same
  if (in.ConsumeBool()) config.endianness = vsim::Endianness::kBig;
  if (in.ConsumeBool()) config.regions.push_back({0x90000, 0x1000, vsim::RegionKind::kAbort});
  config.faults.coreNeverHalts = in.ConsumeIntegralInRange<int>(0, 15) == 0;
  return config;
}

int32_t TransferLength(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange<int32_t>(-4, kMaxTransferBytes); }

uint32_t Address(FuzzedDataProvider& in) {
  // Mostly inside the board's RAM, where the data can be checked; sometimes anywhere.
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0x1000, 0x3FFFF) : in.ConsumeIntegral<uint32_t>();
}

constexpr std::array<int32_t, 21> kCodes{
    VANTREL_CMD_GET_NAME,
    VANTREL_CMD_GET_VERSION,
    VANTREL_CMD_OPEN,
    VANTREL_CMD_CONNECT,
    VANTREL_CMD_DISCONNECT,
    VANTREL_CMD_DOWNLOAD,
    VANTREL_CMD_RUN,
    VANTREL_CMD_STOP,
    VANTREL_CMD_RECONNECT,
    VANTREL_CMD_SET_HARDWARE_BREAK,
    VANTREL_CMD_SET_SOFTWARE_BREAK,
    VANTREL_CMD_CLEAR_BREAK,
    VANTREL_CMD_WRITE_REGISTER,
    VANTREL_CMD_READ_REGISTERS,
    VANTREL_CMD_READ_ICE,
    VANTREL_CMD_WRITE_MEMORY,
    VANTREL_CMD_READ_MEMORY,
    VANTREL_CMD_WRITE_MEMORY2,
    VANTREL_CMD_READ_MEMORY2,
    VANTREL_CMD_ADD_REGION,
    VANTREL_CMD_LIST_REGIONS,
};

// Random argument bytes, with the pointers and lengths made to fit the fuzzer's buffers.
JtagRequest RequestFrom(FuzzedDataProvider& in) {
  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  request.kind = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegral<int32_t>() : VANTREL_KIND_CABLE;
  request.code = in.ConsumeIntegralInRange<int>(0, 31) == 0
                     ? in.ConsumeIntegral<int32_t>()
                     : kCodes[in.ConsumeIntegralInRange<size_t>(0, kCodes.size() - 1)];
  const size_t rawBytes = in.ConsumeIntegralInRange<size_t>(0, sizeof request.args.raw);
  const auto raw = in.ConsumeBytes<uint8_t>(rawBytes);
  if (!raw.empty()) std::memcpy(request.args.raw, raw.data(), raw.size());
  switch (request.code) {
    case VANTREL_CMD_OPEN:
      if (in.ConsumeBool()) std::memcpy(request.args.open.portName, "lpt1", 5);
      break;
    case VANTREL_CMD_DOWNLOAD:
      request.args.download.image = g_image.data();
      request.args.download.length = TransferLength(in);
      request.args.download.loadAddress = Address(in);
      break;
    case VANTREL_CMD_WRITE_MEMORY:
    case VANTREL_CMD_WRITE_MEMORY2:
      request.args.writeMemory.data = g_image.data();
      request.args.writeMemory.length = TransferLength(in);
      request.args.writeMemory.address = Address(in);
      // Wider strides read further into the source: keep the source inside the buffer.
      request.args.writeMemory.accessWidth = in.ConsumeIntegralInRange<int32_t>(-1, 5);
      if (request.args.writeMemory.accessWidth > 0) request.args.writeMemory.length /= 4;
      break;
    case VANTREL_CMD_READ_MEMORY:
    case VANTREL_CMD_READ_MEMORY2:
      request.args.readMemory.buffer = g_read_buffer.data();
      request.args.readMemory.length = TransferLength(in);
      request.args.readMemory.address = Address(in);
      break;
    default: break;
  }
  return request;
}

bool IsMemoryTransfer(int32_t code) {
  return code == VANTREL_CMD_DOWNLOAD || code == VANTREL_CMD_WRITE_MEMORY || code == VANTREL_CMD_WRITE_MEMORY2 ||
         code == VANTREL_CMD_READ_MEMORY || code == VANTREL_CMD_READ_MEMORY2;
}

int32_t TransferLengthOf(const JtagRequest& request) {
  switch (request.code) {
    case VANTREL_CMD_DOWNLOAD: return request.args.download.length;
    case VANTREL_CMD_WRITE_MEMORY:
    case VANTREL_CMD_WRITE_MEMORY2: return request.args.writeMemory.length;
    default: return request.args.readMemory.length;
  }
}

void Fail(const char* what, const JtagRequest& request, const JtagResponse& response) {
  std::fprintf(stderr, "%s: code %d kind %d, status %d, last job result %d\n", what, request.code, request.kind,
               response.status, jtagGetLastError());
  __builtin_trap();
}

// A transfer that ran while the cable was already gone must not succeed: neither its
// answer nor, for a background job, the job's result. (A memory map can legitimately
// leave nothing to move, so inputs that declared regions are not judged.)
void CheckAnswer(const JtagRequest& request, const JtagResponse& response, bool cableGoneBefore, bool mapDeclared) {
  if (response.length < 0 || response.length > VANTREL_RESPONSE_DATA_SIZE) Fail("answer length", request, response);
  if (!cableGoneBefore || mapDeclared || !IsMemoryTransfer(request.code)) return;
  if (request.kind != VANTREL_KIND_CABLE || TransferLengthOf(request) <= 0) return;
  if (response.status != VANTREL_STATUS_OK) return;
  const bool backgroundJob = request.code == VANTREL_CMD_DOWNLOAD || TransferLengthOf(request) >= kBackgroundBytes;
  if (!backgroundJob) Fail("a transfer over a failed cable answered success", request, response);
  (void)getDbgStatus(0);  // waits for the job
  if (jtagGetLastError() == 0) Fail("a job over a failed cable reported success", request, response);
}

// The board's memory as the library may leave it: every byte outside the ranges that
// writes and downloads named stays as it was. The RAM holds branches to themselves, so a
// core the library lets run stays where it is; inputs that run the core elsewhere (RUN,
// register writes, a program downloaded and then left to run, writes over the vectors)
// or plant software breakpoints are not judged.
struct MemoryOracle {
  struct Range {
    uint64_t first;
    uint64_t end;
  };
  static constexpr uint32_t kRamBytes = 0x40000;
  static constexpr uint32_t kVectorsEnd = 0x20;
  static constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;
  static constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

  std::vector<uint8_t> before;
  std::vector<Range> written;
  bool judged = true;
  bool codeWritten = false;  // over the vectors, where a restarted core begins, or a download

  void Prepare(vsim::Board& board) {
    for (uint32_t a = 0; a < kRamBytes; a += 4) board.WriteWord(a, kBranchToSelf);
    before.resize(kRamBytes);
    (void)board.ReadMemory(0, before);
  }

  // The whole words around [address, address + length): partial words are rewritten.
  void NoteWrite(uint32_t address, int32_t length) {
    if (length <= 0) return;
    const uint64_t first = address & ~uint64_t{3};
    const uint64_t end = (uint64_t{address} + static_cast<uint64_t>(length) + 3) & ~uint64_t{3};
    written.push_back({first, end});
    if (end > kAddressSpace) written.push_back({0, end - kAddressSpace});  // on from address 0
    codeWritten = codeWritten || first < kVectorsEnd || end > kAddressSpace;
  }

  void Note(const JtagRequest& request) {
    switch (request.code) {
      case VANTREL_CMD_WRITE_MEMORY:
      case VANTREL_CMD_WRITE_MEMORY2:
        NoteWrite(request.args.writeMemory.address, request.args.writeMemory.length);
        return;
      case VANTREL_CMD_DOWNLOAD:
        NoteWrite(request.args.download.loadAddress, request.args.download.length);
        codeWritten = true;
        return;
      case VANTREL_CMD_CLEAR_BREAK:  // a software breakpoint's word goes back: the host's bytes
        if (request.args.clearBreak.hardware != 1) NoteWrite(request.args.clearBreak.address, 4);
        return;
      case VANTREL_CMD_DISCONNECT:
      case VANTREL_CMD_RECONNECT:
        if (codeWritten) judged = false;
        return;
      case VANTREL_CMD_GET_NAME:
      case VANTREL_CMD_GET_VERSION:
      case VANTREL_CMD_OPEN:
      case VANTREL_CMD_CONNECT:
      case VANTREL_CMD_STOP:
      case VANTREL_CMD_SET_HARDWARE_BREAK:
      case VANTREL_CMD_READ_REGISTERS:
      case VANTREL_CMD_READ_ICE:
      case VANTREL_CMD_READ_MEMORY:
      case VANTREL_CMD_READ_MEMORY2:
      case VANTREL_CMD_ADD_REGION:
      case VANTREL_CMD_LIST_REGIONS: return;
      default: judged = false;
    }
  }

  bool Written(uint32_t address) const {
    for (const Range& range : written) {
      if (address >= range.first && address < range.end) return true;
    }
    return false;
  }

  // workArea: the bytes a loop left behind may still hold, when the session could not
  // put them back; empty otherwise. A transfer that fails (a failed cable, a core that
  // no longer halts, an access that aborts) restarts the core from address 0: once code
  // was written there, what it ran is not judged.
  void Check(const vsim::Board& board, Range workArea, bool restartPossible) const {
    if (!judged || (codeWritten && restartPossible)) return;
    std::vector<uint8_t> after(kRamBytes);
    (void)board.ReadMemory(0, after);
    for (uint32_t a = 0; a < kRamBytes; ++a) {
      if (after[a] == before[a] || Written(a) || (a >= workArea.first && a < workArea.end)) continue;
      std::fprintf(stderr, "memory outside every write changed at 0x%08x: 0x%02x, was 0x%02x\n", a, after[a],
                   before[a]);
      __builtin_trap();
    }
  }
};

void RunRequests(FuzzedDataProvider& in, const FaultyCable& cable, MemoryOracle& oracle) {
  bool mapDeclared = false;
  for (int i = 0; i < kMaxRequests && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange<int>(0, 11)) {
      case 0: (void)getDbgStatus(in.ConsumeIntegralInRange<int>(0, 1)); continue;
      case 1: setJtagProcessBreak(); continue;
      case 2: jtagClearLastError(); continue;
      default: break;
    }
    const JtagRequest request = RequestFrom(in);
    mapDeclared = mapDeclared || request.code == VANTREL_CMD_ADD_REGION;
    oracle.Note(request);
    const bool cableGoneBefore = cable.Failed();
    jtagClearLastError();
    JtagResponse response;
    std::memset(&response, 0xA5, sizeof response);
    Dll_Jtag_Entry(&request, &response);
    CheckAnswer(request, response, cableGoneBefore, mapDeclared);
  }
  (void)getDbgStatus(0);  // the last job ends before its buffers and board go away
}

// lpt.ini's workarea line for the fast transfers' comms loop, anywhere in or around the
// board's memory, aligned or not, large enough or not.
MemoryOracle::Range UseWorkArea(FuzzedDataProvider& in) {
  const auto address = in.ConsumeIntegralInRange<uint32_t>(0, 0xA0000);
  const auto size = in.ConsumeIntegralInRange<uint32_t>(1, 0x200);
  char line[48];
  std::snprintf(line, sizeof line, "workarea=%x,%x\n", address, size);
  auto& core = static_cast<vantrel::arm7::Arm7tdmiCore&>(vantrel::api::TheSession().commands.target.Core());
  vantrel::cable::ApplyPortConfigLine(core.State().cables.ParallelPort().State(), line);
  return {address, uint64_t{address} + size};
}

// The library's waits (the reset pulse, the halt polls) are for real hardware; the board
// needs none of them, and they would cost the fuzzer most of its inputs. A zero wait
// still yields, as it would on the real clock.
class NoWaitClock final : public vantrel::platform::Clock {
 public:
  void SleepMilliseconds(unsigned milliseconds) override {
    if (milliseconds == 0) vantrel::platform::SystemSleepMilliseconds(0);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static NoWaitClock clock;
  vantrel::platform::UseClock(&clock);
  vantrel::api::LoadInstance();
  if (!vantrel::api::InstanceActive()) {
    std::fprintf(stderr, "another library instance holds the machine's marker\n");
    std::exit(1);
  }
  for (size_t i = 0; i < g_image.size(); ++i) g_image[i] = static_cast<uint8_t>(i * 7 + 3);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const FreshLibrary library;
  auto board = std::make_unique<vsim::Board>(BoardFrom(in));
  FaultyCable cable;
  cable.board = board.get();
  cable.boardIo = board->PortIo();
  cable.fault = in.ConsumeEnum<CableFault>();
  cable.failAfter = in.ConsumeIntegralInRange<uint64_t>(0, kMaxFaultAccess);
  const VantrelPortIo io{&cable, &FaultyCable::Acquire, &FaultyCable::Read, &FaultyCable::Write};
  VantrelUsePortIo(&io);
  const bool fast = in.ConsumeBool();
  VantrelSetTransferMode(fast ? VANTREL_TRANSFER_FAST : VANTREL_TRANSFER_EXACT);
  MemoryOracle::Range workArea{0, 0};
  if (fast && in.ConsumeBool()) workArea = UseWorkArea(in);
  MemoryOracle oracle;
  oracle.Prepare(*board);
  RunRequests(in, cable, oracle);
  // A cable that failed or a core that no longer halts may leave the loop in its area.
  const bool loopMayStay = cable.Failed() || board->Config().faults.coreNeverHalts;
  const std::vector<vsim::MemoryRegion>& regions = board->Config().regions;
  const bool abortingMemory = std::any_of(regions.begin(), regions.end(), [](const vsim::MemoryRegion& region) {
    return region.kind == vsim::RegionKind::kAbort;
  });
  oracle.Check(*board, loopMayStay ? workArea : MemoryOracle::Range{0, 0}, loopMayStay || abortingMemory);
  VantrelUsePortIo(nullptr);
  return 0;
}
