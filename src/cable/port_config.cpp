#include "cable/port_config.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "cable/port_io.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::cable {
namespace {

constexpr std::array<PortAddresses, kPortCount> kDefaultPortTable{{
    {0x378, 0x379, 0x37A},  // lpt1
    {0x3BC, 0x3BD, 0x3BE},  // lpt2
    {0x278, 0x279, 0x27A},  // lpt3
}};

std::array<PortAddresses, kPortCount> g_port_table = kDefaultPortTable;

// A device path comes from one line, so it always fits one line's buffer.
struct PortChoice {
  PortWay way = PortWay::kAutomatic;
  std::array<char, kConfigLineBufferSize> device{};
};
std::array<PortChoice, kPortCount> g_port_choice{};

// The addresses wrap in 32 bits rather than overflow: a base of 0xFFFFFFFF is
// accepted and only its low 16 bits ever reach a port.
PortAddresses PortAt(uint32_t base) {
  return {static_cast<int32_t>(base), static_cast<int32_t>(base + 1u), static_cast<int32_t>(base + 2u)};
}

bool ValidPortNumber(int lptNumber) { return lptNumber >= 1 && lptNumber <= kPortCount; }

// "lpt1=/dev/parport0": the path runs from the slash to the first blank or line end.
bool ApplyDeviceLine(const char* line) {
  int lptNumber = 0;
  int pathStart = -1;
  if (std::sscanf(line, "lpt%d=%n", &lptNumber, &pathStart) != 1 || pathStart < 0 || line[pathStart] != '/') {
    return false;
  }
  if (!ValidPortNumber(lptNumber)) return true;
  const char* path = line + pathStart;
  const std::size_t length = std::strcspn(path, " \t\r\n");
  PortChoice& choice = g_port_choice[static_cast<std::size_t>(lptNumber - 1)];
  choice.device.fill('\0');
  std::memcpy(choice.device.data(), path, std::min(length, choice.device.size() - 1));
  choice.way = PortWay::kDevice;
  return true;
}

void ApplyPortLine(const char* line) {
  if (ApplyDeviceLine(line)) return;
  int lptNumber = 0;
  unsigned int base = 0;
  if (std::sscanf(line, "lpt%d=%x", &lptNumber, &base) != 2) return;
  if (!ValidPortNumber(lptNumber)) return;
  g_port_table[static_cast<std::size_t>(lptNumber - 1)] = PortAt(base);
  g_port_choice[static_cast<std::size_t>(lptNumber - 1)] = PortChoice{PortWay::kDirect, {}};
}

void ApplyDelayLine(const char* line) {
  int delay = 0;
  if (std::sscanf(line, "delay=%d", &delay) != 1) return;
  if (delay > kMaxPortDelay)
    Trace("lpt.ini: delay=%d is more than %d, so it is %d\n", delay, kMaxPortDelay, kMaxPortDelay);
  SetPortDelay(delay);
}

}  // namespace

const PortAddresses& PortTableEntry(int portIndex) {
  static constexpr PortAddresses kNoPort{0, 0, 0};
  if (portIndex < 0 || portIndex >= kPortCount) return kNoPort;
  return g_port_table[static_cast<std::size_t>(portIndex)];
}

PortWay ConfiguredPortWay(int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return PortWay::kAutomatic;
  return g_port_choice[static_cast<std::size_t>(portIndex)].way;
}

const char* ConfiguredPortDevice(int portIndex) {
  if (portIndex < 0 || portIndex >= kPortCount) return "";
  return g_port_choice[static_cast<std::size_t>(portIndex)].device.data();
}

std::string DefaultPortDevice(int portIndex) {
  std::string path = "/dev/parport";
  path += std::to_string(portIndex);
  return path;
}

void ApplyPortConfigLine(const char* line) {
  if (line == nullptr) return;
  // The port test comes first and excludes the delay test: "delay=5 ; lpt" is a port
  // line that doesn't parse.
  if (std::strstr(line, "lpt") != nullptr) {
    ApplyPortLine(line);
  } else if (std::strstr(line, "delay") != nullptr) {
    ApplyDelayLine(line);
  }
}

void LoadPortConfigFile(const std::string& path) {
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
    ApplyPortConfigLine(line);
  }
  std::fclose(file);
}

void LoadPortConfig() {
  std::string directory;
  if (!platform::HostExecutableDirectory(directory)) return;
  const std::string path = directory + kPortConfigFileName;
  if (path.size() + 1 > kMaxConfigPath) return;
  LoadPortConfigFile(path);
}

void ResetPortConfig() {
  g_port_table = kDefaultPortTable;
  g_port_choice = {};
}

}  // namespace vantrel::cable
