// The `monitor` commands GDB passes on with qRcmd: what the command line offers beside
// the debugging GDB does itself.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "gdb_server.h"
#include "registers_by_name.h"
#include "target_facts.h"
#include "target_status.h"

namespace vantrel::gdb {

namespace {

constexpr const char* kHelp =
    "monitor commands:\n"
    "  reset [halt]                   reset the target and halt it at address 0\n"
    "  reset run                      reset the target and let it run from address 0\n"
    "  reset init                     as reset halt: there is no init script to run\n"
    "  halt                           halt the core\n"
    "  regions                        list the memory map\n"
    "  region add START LENGTH ro|wo|rw  declare a memory region\n"
    "  ice                            the EmbeddedICE registers\n"
    "  flash probe ADDRESS | flash info  find a CFI flash chip, list the probed banks\n"
    "  power                          the cable's power-sense lines\n"
    "  status                         the target's state\n"
    "  board                          the simulated board's port accesses so far\n"
    "  reg [NAME [VALUE]]             every register, or one by name (r13_irq, spsr_svc), or write it\n"
    "  semihosting [on|off]           serve the program's semihosting calls (console, time, files)\n"
    "  help                           this list\n";

std::optional<uint32_t> ParseNumber(const std::string& word) {
  if (word.empty() || word[0] == '-') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(word.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string StateName(int state) {
  switch (state) {
    case VANTREL_STATE_NOT_OPENED: return "nothing opened";
    case VANTREL_STATE_DOWN: return "target down";
    case VANTREL_STATE_CONNECTED: return "connected, halted";
    case VANTREL_STATE_HALTED: return "halted";
    case VANTREL_STATE_RUNNING: return "running";
    default: return std::string("unknown (") + std::to_string(state) + ")";
  }
}

std::string AnswerText(const client::Answer& answer, const std::string& success) {
  if (answer.Ok()) return success;
  return std::string("failed: ") +
         (answer.text.empty() ? std::string("status ") + std::to_string(answer.status) : answer.text) + "\n";
}

std::string AddRegion(const client::Library& library, const std::vector<std::string>& words) {
  if (words.size() != 5 || words[1] != "add") return "usage: monitor region add START LENGTH ro|wo|rw\n";
  const auto start = ParseNumber(words[2]);
  const auto length = ParseNumber(words[3]);
  const std::optional<uint32_t> property = client::RegionPropertyNamed(words[4]);
  if (!start || !length || !property || static_cast<uint64_t>(*start) + *length > 0x100000000ull) {
    return "usage: monitor region add START LENGTH ro|wo|rw (numbers 0x hex or decimal, within 4 GiB)\n";
  }
  return AnswerText(client::AddRegion(library, *start, *length, *property),
                    std::string("region ") + Hex(*start) + " " + Hex(*length) + " " + words[4] + "\n");
}

std::string Ice(const client::Library& library) {
  const client::IceReading ice = client::ReadIce(library);
  if (!ice.answer.Ok()) return AnswerText(ice.answer, "");
  std::string text;
  for (size_t i = 0; i < client::kIceRegisterCount; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%-14s %s\n", client::kIceRegisterNames[i], Hex(ice.values[i]).c_str());
    text += line;
  }
  return text;
}

std::string Status(const client::Library& library) {
  const client::TargetStatus status = client::ReadTargetStatus(library);
  if (!status.answered) return std::string("the status query failed (") + std::to_string(status.word) + ")\n";
  std::string text = std::string("state  ") + StateName(status.stateCode) + "\n";
  if (status.inDebugState) text += std::string("isa    ") + (status.thumb ? "Thumb" : "ARM") + "\n";
  return text;
}

std::string RegisterLine(const std::string& name, uint32_t value) {
  char line[64];
  std::snprintf(line, sizeof line, "%-9s %s\n", name.c_str(), Hex(value).c_str());
  return line;
}

}  // namespace

std::string GdbSession::MonitorRegisterList() {
  const auto registers = target_.Registers();
  if (!registers) return "failed: the registers cannot be read\n";
  std::string text;
  for (int i = 0; i < kRegisterCount; ++i)
    text += RegisterLine(LibraryRegisterName(i), (*registers)[static_cast<size_t>(i)]);
  for (int i = kRegisterCount; i < kAllRegisterCount; ++i) {
    const auto value = target_.BankedRegister(i);
    if (value) text += RegisterLine(LibraryRegisterName(i), *value);
    else text.append(LibraryRegisterName(i)).append("  not reachable from the core's mode\n");
  }
  return text;
}

std::string GdbSession::MonitorRegister(const std::vector<std::string>& words) {
  if (words.size() == 1) return MonitorRegisterList();
  const auto name = client::LibraryRegisterSpelling(words[1]);
  const auto value = words.size() == 3 ? ParseNumber(words[2]) : std::nullopt;
  if (words.size() > 3 || !name || (words.size() == 3 && !value)) {
    return "usage: monitor reg [NAME [VALUE]] (a name the library knows: r0-r15, sp, lr, pc, cpsr, spsr, "
           "r8_fiq-r14_fiq, r13_irq, r14_irq, spsr_irq and the same for svc, abt, und, usr; VALUE 0x hex or "
           "decimal)\n";
  }
  const client::Library& library = target_.library();
  if (!value) {
    const client::Answer answer = client::ReadRegistersByName(library, {*name});
    return answer.Ok() && answer.data.size() >= 4 ? RegisterLine(*name, answer.Word(0)) : AnswerText(answer, "");
  }
  // As the command line's `reg NAME VALUE`: the library writes it on the core.
  const client::Answer answer = client::WriteRegisterByName(library, *name, *value);
  target_.ForgetHaltState();
  return AnswerText(answer, RegisterLine(*name, *value));
}

std::string GdbSession::MonitorBoard() const {
  if (!settings_.boardPortAccesses)
    return "no board in this process to count them: a real cable, or a board behind a socket\n";
  return std::string("port accesses ") + std::to_string(settings_.boardPortAccesses()) + "\n";
}

std::string GdbSession::MonitorReset(const std::vector<std::string>& words) {
  const std::string mode = words.size() > 1 ? words[1] : "halt";
  if (words.size() > 2 || (mode != "halt" && mode != "run" && mode != "init")) {
    return "usage: monitor reset [halt|run|init]\n";
  }
  if (Restart() == "E02") return "reset failed\n";
  if (mode == "init") return "target reset; the core is halted at address 0 (there is no init script to run)\n";
  if (mode == "halt") return "target reset; the core is halted at address 0\n";
  if (!target_.Run()) return "target reset and halted at address 0, but the core did not start\n";
  return "target reset; the core runs from address 0 (continue waits for it to stop, Ctrl-C stops it)\n";
}

std::string GdbSession::Monitor(const std::string& hexCommand) {
  const auto bytes = ParseHexBytes(hexCommand);
  if (!bytes) return "E03";
  std::istringstream line(std::string(bytes->begin(), bytes->end()));
  std::vector<std::string> words;
  for (std::string word; line >> word;) words.push_back(word);
  const client::Library& library = target_.library();
  // What a command does to the target (a reset, a halt, a new memory map), GDB's next
  // reads see.
  if (words.empty() || (words[0] != "board" && words[0] != "reg")) target_.ForgetHaltState();
  std::string text;
  if (words.empty() || words[0] == "help") {
    text = kHelp;
  } else if (words[0] == "reset") {
    text = MonitorReset(words);
  } else if (words[0] == "halt") {
    text = target_.Interrupt() ? "halted\n" : "the core did not halt\n";
  } else if (words[0] == "regions") {
    text = client::ListRegions(library).text;
    std::erase(text, '\r');
  } else if (words[0] == "region") {
    text = AddRegion(library, words);
  } else if (words[0] == "flash" && flash_ != nullptr) {
    text = flash_->Monitor(words);
  } else if (words[0] == "ice") {
    text = Ice(library);
  } else if (words[0] == "power") {
    const int power = library.DbgStatus(VANTREL_SELECT_POWER_LINES);
    text.append("power  ")
        .append(std::to_string(power))
        .append(power == VANTREL_POWER_GOOD ? "  both sense lines good\n" : "  not good\n");
  } else if (words[0] == "status") {
    text = Status(library);
  } else if (words[0] == "board") {
    text = MonitorBoard();
  } else if (words[0] == "reg") {
    text = MonitorRegister(words);
  } else if (words[0] == "semihosting") {
    text = MonitorSemihosting(words);
  } else {
    text.append("unknown monitor command '").append(words[0]).append("' (try monitor help)\n");
  }
  if (text.empty()) text.push_back('\n');
  return HexText(text);
}

}  // namespace vantrel::gdb
