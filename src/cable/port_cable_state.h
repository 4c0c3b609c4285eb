// What the parallel-port cable holds between calls: how the port is reached, lpt.ini's
// settings, the cable found, the TAP and the queue of accesses not yet made. One object
// holds it all, its members at the values of a freshly loaded library; the parallel-port
// cable owns it and hands it to the functions of the cable's files, which take it first.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "cable/cable.h"
#include "cable/port_config.h"
#include "cable/port_queue.h"
#include "vantrel.h"
#include "vantrel_port.h"

namespace vantrel::cable {

// The port table of a freshly loaded library, before lpt.ini moves an entry.
inline constexpr std::array<PortAddresses, kPortCount> kDefaultPortTable{{
    {0x378, 0x379, 0x37A},  // lpt1
    {0x3BC, 0x3BD, 0x3BE},  // lpt2
    {0x278, 0x279, 0x27A},  // lpt3
}};

struct PortCableState;

// The hardware's IN and OUT or port device, whichever access obtained (port_io.cpp); its
// callbacks reach the cable's state through their context.
VantrelPortIo HardwarePortIo(PortCableState& state);

// How the hardware is reached while access is held: IN and OUT (once granted, for the
// rest of the process), or the port device opened for one port.
enum class HardwareWay { kNone, kDirect, kDevice };

// The port device serves one port: the cable's addresses of that port pick the register.
struct DevicePort {
  static constexpr int kNoDevicePort = -1;
  int portIndex = kNoDevicePort;
  uint16_t data = 0;
  uint16_t status = 0;
  uint16_t control = 0;
};

struct PortAccessState {
  bool accessObtained = false;
  HardwareWay way = HardwareWay::kNone;
  bool directGranted = false;
  DevicePort device;
  // Plain storage: the unload's TAP reset may still name the device in a trace line.
  // A path comes from one lpt.ini line.
  std::array<char, kConfigLineBufferSize> devicePath{};
  // Both callbacks are always set (the hardware's from the start), so an access is one
  // indirect call.
  VantrelPortIo io{};
  VantrelPortBatch batch = nullptr;
  // The entry thread's end of call must not reach a port that a job's thread is driving.
  std::atomic<bool> lentToJob{false};
  bool virtualPort = false;
  int32_t portDelay = 0;
};

// A device path comes from one line, so it always fits one line's buffer.
struct PortChoice {
  PortWay way = PortWay::kAutomatic;
  std::array<char, kConfigLineBufferSize> device{};
};

struct PortConfigState {
  std::array<PortAddresses, kPortCount> portTable = kDefaultPortTable;
  TransferMode transferMode = TransferMode::kExact;  // lpt.ini's transfer line
  // The host's choice: a host thread sets it (while no job runs), the job's worker reads it.
  std::atomic<int> hostTransferMode{VANTREL_TRANSFER_AS_CONFIGURED};
  std::array<PortChoice, kPortCount> portChoice{};
  std::optional<WorkArea> workArea;  // lpt.ini's workarea line
};

// A status read queued by a cycle: its TDO bit goes into *word at mask once the port
// has answered (word null: only the sense lines count).
struct PendingCapture {
  std::size_t slot;
  uint32_t* word;
  uint32_t mask;
};

struct TapState {
  bool active = false;
  uint32_t resets = 0;
  bool powerLossSeen = false;
  bool fastClocks = false;
  int fastClocksDepth = 0;  // FastClocks may nest: the outermost one decides
  // Under FastClocks: the lines of the last cycle, whose TCK is still high, or 0 when TCK is low.
  uint8_t tckLeftHigh = 0;
  // Every cycle writes at least once for its read: at most one read in two accesses.
  std::array<PendingCapture, kPortQueueCapacity / 2> pending{};
  std::size_t pendingCount = 0;
};

struct PortQueueState {
  std::array<VantrelPortAccess, kPortQueueCapacity> accesses{};
  std::size_t count = 0;
  std::size_t flushed = 0;  // the accesses before this one have been made
};

struct CableSelection {
  int32_t selectedPort = kNoPortSelected;
  int32_t powerStatus = kPowerNeverRead;
};

struct PortCableState {
  PortCableState() { access.io = HardwarePortIo(*this); }
  // The hardware's callbacks hold this object's address.
  PortCableState(const PortCableState&) = delete;
  PortCableState& operator=(const PortCableState&) = delete;
  // A session that ends lets go of the port device it holds, as the release of the
  // cable does: the device is the process's, the next session opens it again.
  ~PortCableState();

  PortAccessState access;
  PortConfigState config;
  CableSelection selection;
  TapState tap;
  PortQueueState queue;
};

}  // namespace vantrel::cable
