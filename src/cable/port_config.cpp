#include "cable/port_config.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cable/port_cable_state.h"
#include "cable/port_io.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "vantrel_port.h"

namespace vantrel::cable {
namespace {

// The addresses wrap in 32 bits rather than overflow: a base of 0xFFFFFFFF is
// accepted and only its low 16 bits ever reach a port.
PortAddresses PortAt(uint32_t base) {
  return {static_cast<int32_t>(base), static_cast<int32_t>(base + 1u), static_cast<int32_t>(base + 2u)};
}

bool ValidPortNumber(int lptNumber) { return lptNumber >= 1 && lptNumber <= kPortCount; }

// "lpt1=/dev/parport0": the path runs from the slash to the first blank or line end.
bool ApplyDeviceLine(PortConfigState& config, const char* line) {
  int lptNumber = 0;
  int pathStart = -1;
  if (std::sscanf(line, "lpt%d=%n", &lptNumber, &pathStart) != 1 || pathStart < 0 || line[pathStart] != '/') {
    return false;
  }
  if (!ValidPortNumber(lptNumber)) return true;
  const char* path = line + pathStart;
  const std::size_t length = std::strcspn(path, " \t\r\n");
  PortChoice& choice = config.portChoice[static_cast<std::size_t>(lptNumber - 1)];
  choice.device.fill('\0');
  std::memcpy(choice.device.data(), path, std::min(length, choice.device.size() - 1));
  choice.way = PortWay::kDevice;
  return true;
}

void ApplyPortLine(PortConfigState& config, const char* line) {
  if (ApplyDeviceLine(config, line)) return;
  int lptNumber = 0;
  unsigned int base = 0;
  if (std::sscanf(line, "lpt%d=%x", &lptNumber, &base) != 2) return;
  if (!ValidPortNumber(lptNumber)) return;
  const auto entry = static_cast<std::size_t>(lptNumber - 1);
  config.portTable[entry] = PortAt(base);
  config.portChoice[entry] = PortChoice{PortWay::kDirect, {}};
}

void ApplyDelayLine(PortCableState& state, const char* line) {
  int delay = 0;
  if (std::sscanf(line, "delay=%d", &delay) != 1) return;
  if (delay > kMaxPortDelay)
    Trace("lpt.ini: delay=%d is more than %d, so it is %d\n", delay, kMaxPortDelay, kMaxPortDelay);
  SetPortDelay(state, delay);
}

// "fast" or "exact" after the equals sign, blanks and line ends around it ignored;
// anything else changes nothing.
void ApplyTransferValue(PortConfigState& config, const char* value) {
  char word[8] = {};
  if (std::sscanf(value, " %7[a-z]", word) != 1) return;
  if (std::strcmp(word, "fast") == 0) config.transferMode = TransferMode::kFast;
  if (std::strcmp(word, "exact") == 0) config.transferMode = TransferMode::kExact;
}

void ApplyTransferLine(PortConfigState& config, const char* line) {
  const char* equals = std::strstr(line, "transfer=");
  if (equals != nullptr) ApplyTransferValue(config, equals + std::strlen("transfer="));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A hexadecimal number of at most 32 bits after optional blanks, 0x allowed; text is
// moved past it.
bool ParseHex32(const char*& text, uint32_t& value) {
  while (IsBlank(*text)) ++text;
  if (std::isxdigit(static_cast<unsigned char>(*text)) == 0) return false;  // no sign, no blank
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 16);
  if (errno == ERANGE || parsed > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(parsed);
  text = end;
  return true;
}

// "ADDRESS,SIZE" and nothing but blanks after; anything else changes nothing.
void ApplyWorkAreaLine(PortConfigState& config, const char* line) {
  const char* equals = std::strstr(line, "workarea=");
  if (equals == nullptr) return;
  const char* text = equals + std::strlen("workarea=");
  WorkArea area{};
  if (!ParseHex32(text, area.address)) return;
  while (IsBlank(*text)) ++text;
  if (*text++ != ',' || !ParseHex32(text, area.size)) return;
  while (IsBlank(*text)) ++text;
  const uint64_t end = uint64_t{area.address} + area.size;
  if (*text != '\0' || area.size == 0 || end > (uint64_t{1} << 32)) return;
  config.workArea = area;
}

}  // namespace

const PortAddresses& PortTableEntry(const PortCableState& state, int portIndex) {
  static constexpr PortAddresses kNoPort{0, 0, 0};
  if (portIndex < 0 || portIndex >= kPortCount) return kNoPort;
  return state.config.portTable[static_cast<std::size_t>(portIndex)];
}

PortWay ConfiguredPortWay(const PortCableState& state, int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return PortWay::kAutomatic;
  return state.config.portChoice[static_cast<std::size_t>(portIndex)].way;
}

const char* ConfiguredPortDevice(const PortCableState& state, int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return "";
  return state.config.portChoice[static_cast<std::size_t>(portIndex)].device.data();
}

std::string DefaultPortDevice(int portIndex) {
  std::string path = "/dev/parport";
  path += std::to_string(portIndex);
  return path;
}

void ApplyPortConfigLine(PortCableState& state, const char* line) {
  if (line == nullptr) return;
  // The port test comes first and excludes the delay test: "delay=5 ; lpt" is a port
  // line that doesn't parse.
  if (std::strstr(line, "lpt") != nullptr) {
    ApplyPortLine(state.config, line);
  } else if (std::strstr(line, "delay") != nullptr) {
    ApplyDelayLine(state, line);
  } else if (std::strstr(line, "transfer") != nullptr) {
    ApplyTransferLine(state.config, line);
  } else if (std::strstr(line, "workarea") != nullptr) {
    ApplyWorkAreaLine(state.config, line);
  }
}

void LoadPortConfigFile(PortCableState& state, const std::string& path) {
  // Opened in text mode explicitly: a host that switched the C runtime's default to
  // binary must not hand us carriage returns that shift where a long line is cut.
  std::string failure;
  std::FILE* file = platform::OpenSmallRegularFile(path, kMaxConfigFileSize, failure);
  if (file == nullptr) {
    if (!failure.empty()) Trace("lpt.ini not read, %s\n", failure.c_str());
    return;
  }
  // A line longer than the buffer arrives in pieces, each handled as a line of its own.
  // Every piece holds at least one byte of the file, so counting them bounds the read
  // even when the file grows meanwhile.
  char line[kConfigLineBufferSize];
  for (std::size_t piece = 0; piece < kMaxConfigFileSize; ++piece) {
    std::memset(line, 0, sizeof line);
    if (std::fgets(line, sizeof line, file) == nullptr) break;
    ApplyPortConfigLine(state, line);
  }
  std::fclose(file);
}

void LoadPortConfig(PortCableState& state) {
  std::string directory;
  if (platform::HostExecutableDirectory(directory)) {
    const std::string path = directory + kPortConfigFileName;
    if (path.size() + 1 <= kMaxConfigPath) LoadPortConfigFile(state, path);
  }
}

TransferMode ConfiguredTransferMode(const PortCableState& state) {
  switch (state.config.hostTransferMode.load(std::memory_order_relaxed)) {
    case VANTREL_TRANSFER_EXACT: return TransferMode::kExact;
    case VANTREL_TRANSFER_FAST: return TransferMode::kFast;
    default: return state.config.transferMode;
  }
}

void SetHostTransferMode(PortCableState& state, int mode) {
  if (mode == VANTREL_TRANSFER_AS_CONFIGURED || mode == VANTREL_TRANSFER_EXACT || mode == VANTREL_TRANSFER_FAST) {
    state.config.hostTransferMode.store(mode, std::memory_order_relaxed);
  }
}

std::optional<WorkArea> ConfiguredWorkArea(const PortCableState& state) { return state.config.workArea; }
}  // namespace vantrel::cable
