#include "gdb_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>

#include "client_listener.h"
#include "memory_map_xml.h"
#include "readable_regions.h"

namespace vantrel::gdb {

namespace {

constexpr int kSigInt = 2;
constexpr int kSigTrap = 5;
constexpr int kHaltPollMs = 1;
const std::string kErrorMemory = "E01";
const std::string kErrorTarget = "E02";
const std::string kErrorPacket = "E03";

std::optional<std::pair<uint32_t, uint32_t>> ParseAddressLength(const std::string& text) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const auto address = ParseHex32(text.substr(0, comma));
  const auto length = ParseHex32(text.substr(comma + 1));
  if (!address || !length) return std::nullopt;
  return std::make_pair(*address, *length);
}

void WarnWhenReachable(const ClientListener& listener, const ListenAddress& listen) {
  if (!listener.ReachableFromOtherMachines()) return;
  std::fprintf(stderr,
               "vantrel: gdbserver: warning: %s:%u is not a loopback address: anyone who can reach this port "
               "has full control of the target (its memory, its registers, what it runs)\n",
               listen.host.c_str(), listen.port);
}

void Log(const std::string& text) { std::fprintf(stderr, "vantrel: gdbserver: %s\n", text.c_str()); }

void ServeClient(GdbConnection& connection, GdbTarget& target, const ServerSettings& settings, Semihosting& semihosting,
                 GdbFlash& flash) {
  std::string error;
  if (!target.Attach(&error)) {
    Log(error);
    return;
  }
  Log("client attached");
  flash.ProbeConfigured();
  try {
    GdbSession(connection, target, settings, semihosting, &flash).Serve();
  } catch (const std::exception& exception) {
    // A fault in one session drops that client, never the server.
    Log(std::string("internal error: ") + exception.what());
    target.Release();
  }
}

}  // namespace

int RunGdbServer(const client::Library& library, const std::string& portName, const ServerSettings& settings) {
  const ListenAddress& listen = settings.listen;
  std::string error;
  const auto listener = ClientListener::Open(listen, &error);
  if (!listener) {
    Log(error);
    return 2;
  }
  WarnWhenReachable(*listener, listen);
  Semihosting semihosting;
  semihosting.Enable(settings.semihosting);
  if (!settings.semihostingDirectory.empty() && !semihosting.SetDirectory(settings.semihostingDirectory, &error)) {
    Log(error);
    return 2;
  }
  std::fprintf(stderr, "vantrel: gdbserver listening on %s:%u (target extended-remote %s:%u)\n", listen.host.c_str(),
               listen.port, listen.host.c_str(), listen.port);
  GdbTarget target(library, portName);
  GdbFlash flash(library, settings.flashBanks);
  target.RefuseSoftwareBreakpoints([&flash](uint32_t address) { return flash.Holds(address, 1); });
  for (;;) {
    // After a detach with semihosting on, the program's calls are served meanwhile.
    std::function<void()> serveDetached;
    if (semihosting.ServingDetached()) serveDetached = [&] { ServeDetachedCalls(target, semihosting); };
    const int client = listener->Accept(serveDetached);
    EndDetachedServing(target, semihosting);
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(client, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    GdbConnection connection(client, settings.clientTimeoutMs);
    listener->ServeRefusingOthers([&] { ServeClient(connection, target, settings, semihosting, flash); });
    Log(connection.DropReason().empty() ? "client gone" : "client dropped: " + connection.DropReason());
  }
}

void GdbSession::Serve() {
  while (!over_) {
    const auto event = connection_.Next(-1);
    if (connection_.Closed()) break;
    if (!event) continue;
    switch (event->kind) {
      case RspEvent::Kind::kPacket:
        if (!Handle(event->payload)) over_ = true;
        break;
      case RspEvent::Kind::kBadChecksum:
      case RspEvent::Kind::kOversized: connection_.Send(kErrorPacket); break;
      default: break;  // a break while the core is halted changes nothing
    }
    if (connection_.Closed()) break;
  }
  // A client that went without a detach leaves no breakpoint behind, and the core where
  // it was: the next one finds the program as it is.
  if (connection_.Closed()) target_.Release();
}

bool GdbSession::Handle(const std::string& packet) {
  if (packet.empty()) {
    connection_.Send("");
    return true;
  }
  const std::string args = packet.substr(1);
  std::string reply;
  switch (packet[0]) {
    case '?': reply = exited_ ? *exited_ : StopReply(lastSignal_); break;
    case 'g': reply = ReadRegisters(); break;
    case 'G': reply = WriteRegisters(args); break;
    case 'p': reply = ReadOneRegister(args); break;
    case 'P': reply = WriteOneRegister(args); break;
    case 'm': reply = ReadMemory(args); break;
    case 'M': reply = WriteMemory(args, false); break;
    case 'X': reply = WriteMemory(args, true); break;
    case 'c':
    case 'C': reply = Resume(false); break;
    case 's':
    case 'S': reply = Resume(true); break;
    case 'Z':
    case 'z': reply = Breakpoint(packet); break;
    case 'D':
      DetachKeepingSwiCatch();
      connection_.Send("OK");
      return false;
    case 'k':
    case 'R': (void)Restart(); return true;
    case '!':
    case 'H':
    case 'T': reply = "OK"; break;
    case 'q':
    case 'Q': reply = Query(packet); break;
    case 'v': reply = VerbosePacket(packet); break;
    default: break;  // not supported: the empty answer
  }
  if (connection_.Closed()) return false;
  connection_.Send(reply);
  if (noAckRequested_) {
    connection_.StopAcknowledging();
    noAckRequested_ = false;
  }
  return true;
}

std::string GdbSession::StopReply(int signal) {
  lastSignal_ = signal;
  char head[4];
  std::snprintf(head, sizeof head, "T%02x", signal);
  std::string reply = head;
  if (const auto registers = target_.Registers()) {
    reply.append("0f:").append(HexWordLe((*registers)[kPcRegister])).append(";");
    reply.append("10:").append(HexWordLe((*registers)[kCpsrRegister])).append(";");
  }
  return reply;
}

std::string GdbSession::ReadRegisters() {
  const auto registers = target_.Registers();
  if (!registers) return kErrorTarget;
  std::string reply;
  for (const uint32_t value : *registers) reply += HexWordLe(value);
  return reply;
}

std::string GdbSession::WriteRegisters(const std::string& hex) {
  if (hex.size() != size_t{8} * kRegisterCount) return kErrorPacket;
  const auto current = target_.Registers();
  if (!current) return kErrorTarget;
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto value = ParseHexWordLe(std::string_view(hex).substr(size_t{8} * static_cast<size_t>(i), 8));
    if (!value) return kErrorPacket;
    if (*value != (*current)[static_cast<size_t>(i)] && !target_.WriteRegister(i, *value)) return kErrorTarget;
  }
  return "OK";
}

std::string GdbSession::ReadOneRegister(const std::string& args) {
  const auto number = ParseHex32(args);
  if (!number || *number >= kAllRegisterCount) return kErrorPacket;
  if (*number >= kRegisterCount) {
    // A register the core cannot reach now is unavailable to GDB, not an error that
    // would stop `info all-registers` half-way.
    const auto value = target_.BankedRegister(static_cast<int>(*number));
    return value ? HexWordLe(*value) : "xxxxxxxx";
  }
  const auto registers = target_.Registers();
  if (!registers) return kErrorTarget;
  return HexWordLe((*registers)[*number]);
}

std::string GdbSession::WriteOneRegister(const std::string& args) {
  const size_t equals = args.find('=');
  if (equals == std::string::npos) return kErrorPacket;
  const auto number = ParseHex32(args.substr(0, equals));
  const auto value = ParseHexWordLe(args.substr(equals + 1));
  if (!number || !value || *number >= kAllRegisterCount) return kErrorPacket;
  return target_.WriteRegister(static_cast<int>(*number), *value) ? "OK" : kErrorTarget;
}

std::string GdbSession::ReadMemory(const std::string& args) {
  const auto range = ParseAddressLength(args);
  if (!range) return kErrorPacket;
  // A longer read is answered in part; GDB asks again for the rest.
  const size_t length = std::min<size_t>(range->second, kMaxPacketBytes / 2);
  std::vector<unsigned char> bytes;
  if (!target_.ReadMemory(range->first, length, &bytes)) return kErrorMemory;
  return HexBytes(bytes.data(), bytes.size());
}

std::string GdbSession::WriteMemory(const std::string& args, bool binary) {
  const size_t colon = args.find(':');
  if (colon == std::string::npos) return kErrorPacket;
  const auto range = ParseAddressLength(args.substr(0, colon));
  if (!range) return kErrorPacket;
  const std::string_view data = std::string_view(args).substr(colon + 1);
  std::vector<unsigned char> bytes;
  if (binary) {
    const auto plain = Unescape(data);
    if (!plain) return kErrorPacket;
    bytes.assign(plain->begin(), plain->end());
  } else {
    auto parsed = ParseHexBytes(data);
    if (!parsed) return kErrorPacket;
    bytes = std::move(*parsed);
  }
  if (bytes.size() != range->second) return kErrorPacket;
  // A store into a CFI chip is a command cycle, not data: GDB's load uses vFlashWrite.
  if (flash_ != nullptr && flash_->Holds(range->first, range->second)) return kErrorMemory;
  return target_.WriteMemory(range->first, bytes) ? "OK" : kErrorMemory;
}

bool GdbSession::ClientInterrupted() {
  const auto event = connection_.Next(0);
  return connection_.Closed() || (event && event->kind == RspEvent::Kind::kBreak);
}

std::string GdbSession::Resume(bool step) {
  // A core set running by the server itself (monitor reset run) is waited for.
  if (!step && target_.Running()) return RunUntilHalt();
  if (!target_.Halted()) return kErrorTarget;
  if (step) {
    StopCause cause = StopCause::kBreakpoint;
    const bool stepped = target_.Step([this] { return ClientInterrupted(); }, &cause);
    if (cause == StopCause::kInterrupted) return StopReply(kSigInt);
    // A core lost on the way is reported as stopped; GDB's next request says what failed.
    // A step that could not start (no next address known, no breakpoint to stop it)
    // is an error, not a step that went nowhere.
    if (!stepped && cause != StopCause::kLost) return ResumeFailed();
    if (auto reply = AfterHalt(true)) return *reply;
    return RunUntilHalt();
  }
  CatchSwiVector();
  switch (target_.Resume()) {
    case GdbTarget::ResumeOutcome::kStopped:
      if (auto reply = AfterHalt(false)) return *reply;
      return RunUntilHalt();
    case GdbTarget::ResumeOutcome::kFailed: return ResumeFailed();
    case GdbTarget::ResumeOutcome::kRunning: break;
  }
  return RunUntilHalt();
}

std::string GdbSession::RangeStep(const std::string& args) {
  // "START,END[:THREAD][;...]"
  const auto range = ParseAddressLength(args.substr(0, args.find_first_of(":;")));
  if (!range) return kErrorPacket;
  if (!target_.Halted()) return kErrorTarget;
  StopCause cause = StopCause::kBreakpoint;
  const bool stepped = target_.RangeStep(
      range->first, range->second, [this] { return ClientInterrupted(); }, &cause);
  if (cause == StopCause::kInterrupted) return StopReply(kSigInt);
  if (!stepped && cause != StopCause::kLost) return ResumeFailed();
  // A semihosting call on the way is served and the range ends after it.
  if (auto reply = AfterHalt(true)) return *reply;
  return RunUntilHalt();
}

std::string GdbSession::RunUntilHalt() {
  for (;;) {
    if (target_.PollHalt()) {
      if (auto reply = AfterHalt(false)) return *reply;
      continue;  // a semihosting call served: the core runs on
    }
    const auto event = connection_.Next(kHaltPollMs);
    if (connection_.Closed()) return "";
    if (event && event->kind == RspEvent::Kind::kBreak) {
      (void)target_.Interrupt();
      return StopReply(kSigInt);
    }
  }
}

std::string GdbSession::FlashPacket(const std::string& packet) {
  if (flash_ == nullptr) return "";
  if (!target_.Halted()) return kErrorTarget;
  if (packet.rfind("vFlashErase:", 0) == 0) return flash_->Erase(packet.substr(12));
  if (packet.rfind("vFlashWrite:", 0) == 0) return flash_->Write(packet.substr(12));
  if (packet == "vFlashDone") return flash_->Done();
  return "";
}

std::string GdbSession::Restart() {
  exited_.reset();
  semihosting_.Restart();
  std::string error;
  if (!target_.Reset(&error)) {
    std::fprintf(stderr, "vantrel: gdbserver: %s\n", error.c_str());
    return kErrorTarget;
  }
  return StopReply(kSigTrap);
}

std::string GdbSession::Features(const std::string& args) {
  // "target.xml:OFFSET,LENGTH"
  const std::string annex = "target.xml:";
  if (args.rfind(annex, 0) != 0) return "E00";
  const auto range = ParseAddressLength(args.substr(annex.size()));
  if (!range) return kErrorPacket;
  const std::string_view xml = TargetDescriptionXml();
  if (range->first >= xml.size()) return "l";
  const size_t length = std::min<size_t>({range->second, xml.size() - range->first, kMaxPacketBytes - 1});
  const bool last = range->first + length >= xml.size();
  std::string reply(last ? "l" : "m");
  reply.append(xml.substr(range->first, length));
  return reply;
}

std::string GdbSession::MemoryMap(const std::string& range) {
  std::vector<MapArea> areas = flash_ != nullptr ? flash_->Areas() : std::vector<MapArea>{};
  for (const ReadableWindow& rom : ReadOnlyRegions(target_.library())) {
    areas.push_back({rom.start, rom.end, MapArea::Kind::kRom, 0});
  }
  const std::string reply = MemoryMapPart(MemoryMapXml(areas), range, kMaxPacketBytes - 1);
  return reply.empty() ? kErrorPacket : reply;
}

std::string GdbSession::Query(const std::string& packet) {
  if (packet.rfind("qSupported", 0) == 0) {
    char reply[96];
    std::snprintf(reply, sizeof reply, "PacketSize=%zx;qXfer:features:read+;QStartNoAckMode+;vContSupported+",
                  kMaxPacketBytes);
    // The memory map: flash, the declared ROM, RAM elsewhere, as GDB finds it at connect.
    return std::string(reply) + ";qXfer:memory-map:read+";
  }
  if (packet == "QStartNoAckMode") {
    noAckRequested_ = true;
    return "OK";
  }
  if (packet.rfind("qXfer:features:read:", 0) == 0) return Features(packet.substr(20));
  if (packet.rfind("qXfer:memory-map:read::", 0) == 0) return MemoryMap(packet.substr(23));
  if (packet == "qAttached") return "1";
  if (packet == "qfThreadInfo") return exited_ ? "l" : "m1";  // an ended program has no thread
  if (packet == "qsThreadInfo") return "l";
  if (packet == "qC") return "QC1";
  if (packet.rfind("qRcmd,", 0) == 0) return Monitor(packet.substr(6));
  return "";
}

std::string GdbSession::VerbosePacket(const std::string& packet) {
  if (packet == "vCont?") return "vCont;c;C;s;S;r";
  if (packet.rfind("vCont;", 0) == 0 && packet.size() > 6) {
    // All-stop with one thread: the first action is the one for the core.
    const char action = packet[6];
    if (action == 'c' || action == 'C') return Resume(false);
    if (action == 's' || action == 'S') return Resume(true);
    if (action == 'r') return RangeStep(packet.substr(7));
    return kErrorPacket;
  }
  if (packet.rfind("vFlash", 0) == 0) return FlashPacket(packet);
  if (packet.rfind("vRun", 0) == 0) return Restart();
  if (packet.rfind("vKill", 0) == 0) {
    const std::string reply = Restart();
    return reply == kErrorTarget ? reply : "OK";
  }
  return "";
}

}  // namespace vantrel::gdb
