// Paths of the built program and firmware, and small helpers shared by the tests that
// run vantrel as a process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host_process.h"

namespace vantrel::test {

inline const std::string kHost = VANTREL_HOST_PATH;
inline const std::string kDemoElf = EXAMPLE_DEMO_ELF;
inline const std::string kDemoBin = EXAMPLE_DEMO_BIN;
inline const std::string kDemoHex = EXAMPLE_DEMO_HEX;
inline const std::string kSessions = EXAMPLE_SESSIONS;

// vantrel -q with the commands given as one argument, run to its end.
inline HostRun RunCommands(const std::string& commands, std::vector<std::string> options = {}) {
  std::vector<std::string> args = {kHost, "-q"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(commands);
  return RunHost(args);
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace vantrel::test
