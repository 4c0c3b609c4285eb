// The stops GDB places (Z and z packets) and what the server says when one of them
// stopped the core or could not be placed.
#include <string>

#include "gdb_server.h"
#include "rsp_codec.h"

namespace vantrel::gdb {

namespace {

constexpr int kSigTrap = 5;
const std::string kErrorMemory = "E01";
const std::string kErrorTarget = "E02";
const std::string kErrorPacket = "E03";

}  // namespace

std::string GdbSession::Breakpoint(const std::string& packet) {
  // "Z0,ADDR,KIND": 0 software, 1 hardware breakpoint; 2 write, 3 read, 4 access
  // watchpoint, KIND the watched length.
  PointType type = PointType::kBreak;
  if (packet.size() < 3 || packet[2] != ',' || (packet[1] != '0' && !PointTypeOf(packet[1], &type))) return "";
  const bool insert = packet[0] == 'Z';
  const std::string rest = packet.substr(3);
  const size_t comma = rest.find(',');
  if (comma == std::string::npos) return kErrorPacket;
  const auto address = ParseHex32(rest.substr(0, comma));
  const size_t end = rest.find(';', comma);
  const auto kind = ParseHex32(rest.substr(comma + 1, end == std::string::npos ? std::string::npos : end - comma - 1));
  if (!address || !kind) return kErrorPacket;
  if (!target_.Halted()) return kErrorTarget;
  if (packet[1] == '0' && KeepsSwiCatch(insert, *address)) return "OK";
  // A software pattern would be command cycles to a flash chip: GDB's map says flash, so
  // GDB asks for hardware breakpoints there itself.
  if (packet[1] == '0' && insert && flash_ != nullptr && flash_->Holds(*address, 1)) return kErrorMemory;
  bool ok = false;
  if (packet[1] == '0') {
    ok = insert ? target_.InsertSoftwareBreakpoint(*address, static_cast<int>(*kind))
                : target_.RemoveSoftwareBreakpoint(*address);
  } else if (packet[1] == '1') {
    ok = insert ? target_.InsertHardwareBreakpoint(*address) : target_.RemoveHardwareBreakpoint(*address);
  } else {
    const UnitPoint point{type, *address, *kind};
    std::string error;
    ok = insert ? target_.InsertUnitPoint(point, &error) : target_.RemoveUnitPoint(point);
  }
  return ok ? "OK" : kErrorMemory;
}

// A stop by one of GDB's data watchpoints names it, so that GDB checks that watchpoint
// (its value, its condition) and goes on when the condition is false.
std::string GdbSession::TrapReply() {
  std::string reply = StopReply(kSigTrap);
  reply += target_.WatchStopDetail();
  return reply;
}

// GDB prints only "Remote failure reply"; a step that no unit could stop says why on
// GDB's console first.
std::string GdbSession::ResumeFailed() {
  if (target_.StepLackedAUnit()) {
    std::string console = "O";
    console += HexText(
        "vantrel: no watchpoint unit free to stop the step: both hold breakpoints or watchpoints; "
        "delete a hardware breakpoint or a watchpoint\n");
    connection_.Send(console);
  }
  return kErrorTarget;
}

}  // namespace vantrel::gdb
