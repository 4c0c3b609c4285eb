// Where the three parallel ports live, and the optional lpt.ini beside the host
// executable that can move them and slow the TAP clock down.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel::cable {

inline constexpr int kPortCount = 3;  // lpt1, lpt2, lpt3

struct PortAddresses {
  int32_t data;
  int32_t status;
  int32_t control;
};

const PortAddresses& PortTableEntry(int portIndex);

// Reads lpt.ini from the host executable's directory; a missing file changes nothing.
void LoadPortConfig();
// The same, from a named file (tests, embedding programs).
void LoadPortConfigFile(const std::string& path);
// Handles one line as read from the file (newline included, at most 255 characters).
void ApplyPortConfigLine(const char* line);

void ResetPortConfig();  // default addresses

}  // namespace vantrel::cable
