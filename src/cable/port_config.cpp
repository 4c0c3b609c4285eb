#include "cable/port_config.h"

#include <array>
#include <cstdio>
#include <cstdlib>
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
TransferMode g_transfer_mode = TransferMode::kExact;

// The addresses wrap in 32 bits rather than overflow: a base of 0xFFFFFFFF is
// accepted and only its low 16 bits ever reach a port.
PortAddresses PortAt(uint32_t base) {
  return {static_cast<int32_t>(base), static_cast<int32_t>(base + 1u), static_cast<int32_t>(base + 2u)};
}

void ApplyPortLine(const char* line) {
  int lptNumber = 0;
  unsigned int base = 0;
  if (std::sscanf(line, "lpt%d=%x", &lptNumber, &base) != 2) return;
  if (lptNumber < 1 || lptNumber > kPortCount) return;
  g_port_table[static_cast<std::size_t>(lptNumber - 1)] = PortAt(base);
}

void ApplyDelayLine(const char* line) {
  int delay = 0;
  if (std::sscanf(line, "delay=%d", &delay) != 1) return;
  if (delay > kMaxPortDelay)
    Trace("lpt.ini: delay=%d is more than %d, so it is %d\n", delay, kMaxPortDelay, kMaxPortDelay);
  SetPortDelay(delay);
}

// "fast" or "exact" after the equals sign, blanks and line ends around it ignored;
// anything else changes nothing.
void ApplyTransferValue(const char* value) {
  char word[8] = {};
  if (std::sscanf(value, " %7[a-z]", word) != 1) return;
  if (std::strcmp(word, "fast") == 0) g_transfer_mode = TransferMode::kFast;
  if (std::strcmp(word, "exact") == 0) g_transfer_mode = TransferMode::kExact;
}

void ApplyTransferLine(const char* line) {
  const char* equals = std::strstr(line, "transfer=");
  if (equals != nullptr) ApplyTransferValue(equals + std::strlen("transfer="));
}

void ApplyTransferEnvironment() {
  const char* value = std::getenv(kTransferModeVariable);
  if (value != nullptr) ApplyTransferValue(value);
}

}  // namespace

const PortAddresses& PortTableEntry(int portIndex) {
  static constexpr PortAddresses kNoPort{0, 0, 0};
  if (portIndex < 0 || portIndex >= kPortCount) return kNoPort;
  return g_port_table[static_cast<std::size_t>(portIndex)];
}

void ApplyPortConfigLine(const char* line) {
  if (line == nullptr) return;
  // The port test comes first and excludes the delay test: "delay=5 ; lpt" is a port
  // line that doesn't parse.
  if (std::strstr(line, "lpt") != nullptr) {
    ApplyPortLine(line);
  } else if (std::strstr(line, "delay") != nullptr) {
    ApplyDelayLine(line);
  } else if (std::strstr(line, "transfer") != nullptr) {
    ApplyTransferLine(line);
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
  if (platform::HostExecutableDirectory(directory)) {
    const std::string path = directory + kPortConfigFileName;
    if (path.size() + 1 <= kMaxConfigPath) LoadPortConfigFile(path);
  }
  ApplyTransferEnvironment();
}

TransferMode ConfiguredTransferMode() { return g_transfer_mode; }

void ResetPortConfig() {
  g_port_table = kDefaultPortTable;
  g_transfer_mode = TransferMode::kExact;
}

}  // namespace vantrel::cable
