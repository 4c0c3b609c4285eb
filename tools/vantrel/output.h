// Plain, aligned, greppable output: memory dumps, register lines, state names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::cli {

// "00008000  48 65 6c 6c 6f 00 00 00  00 00 00 00 00 00 00 00  |Hello...........|"
// Lines start at multiples of 16; bytes before address on the first line are blank.
std::vector<std::string> HexDumpLines(uint32_t address, const std::vector<unsigned char>& bytes);

// "nZCv IF ARM svc" for a CPSR or SPSR value.
std::string DescribePsr(uint32_t psr);

// "running (0x500)", "halted (0x400)"; client::TargetState as the status word carries it.
std::string TargetStateName(int state);

// "name  value  comment" with the name padded so the values line up.
void PrintField(const std::string& name, const std::string& value, const std::string& comment = "");

}  // namespace vantrel::cli
