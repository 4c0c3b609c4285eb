// lpt.ini as the library reads it: each line on its own, as the file reader hands it
// over (at most 255 characters, terminated), and the whole input as a file. Whatever
// the text, each port's status and control registers follow its data register.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cable/port_cable_state.h"
#include "cable/port_config.h"

namespace {

using namespace vantrel::cable;

void CheckPortTable(const PortCableState& state) {
  for (int i = 0; i < kPortCount; ++i) {
    const PortAddresses& port = PortTableEntry(state, i);
    if (static_cast<uint32_t>(port.status) != static_cast<uint32_t>(port.data) + 1u ||
        static_cast<uint32_t>(port.control) != static_cast<uint32_t>(port.data) + 2u) {
      __builtin_trap();
    }
  }
}

const std::string& ScratchFile() {
  static const std::string path = [] {
    char pattern[] = "/dev/shm/vantrel-lpt-ini-XXXXXX";  // tmpfs: the file is rewritten at every input
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern);
  }();
  static const bool removedAtExit = [] { return std::atexit([] { unlink(path.c_str()); }) == 0; }();
  (void)removedAtExit;
  return path;
}

void ApplyLines(const uint8_t* data, size_t size) {
  const auto fresh = std::make_unique<PortCableState>();  // as at load
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, std::min<size_t>(end + 1 - start, kConfigLineBufferSize - 1));
    ApplyPortConfigLine(*fresh, line.c_str());
    start += line.size();
  }
  CheckPortTable(*fresh);
}

void LoadFile(const uint8_t* data, size_t size) {
  const auto fresh = std::make_unique<PortCableState>();  // as at load
  if (std::FILE* file = std::fopen(ScratchFile().c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    LoadPortConfigFile(*fresh, ScratchFile());
  }
  CheckPortTable(*fresh);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ApplyLines(data, size);
  LoadFile(data, size);
  return 0;
}
