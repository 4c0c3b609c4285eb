#include "output.h"

#include <cstdio>
#include <utility>

#include "vantrel.h"

namespace vantrel::cli {

namespace {

constexpr uint32_t kBytesPerLine = 16;

const char* ModeName(uint32_t mode) {
  switch (mode) {
    case 0x10: return "usr";
    case 0x11: return "fiq";
    case 0x12: return "irq";
    case 0x13: return "svc";
    case 0x17: return "abt";
    case 0x1B: return "und";
    case 0x1F: return "sys";
    default: return nullptr;
  }
}

}  // namespace

std::vector<std::string> HexDumpLines(uint32_t address, const std::vector<unsigned char>& bytes) {
  std::vector<std::string> lines;
  const uint64_t end = static_cast<uint64_t>(address) + bytes.size();
  for (uint64_t line = address & ~(kBytesPerLine - 1); line < end; line += kBytesPerLine) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x ", static_cast<uint32_t>(line));
    std::string hex = text, ascii;
    for (uint32_t i = 0; i < kBytesPerLine; ++i) {
      const uint64_t at = line + i;
      if (i == 8) hex += ' ';
      if (at < address || at >= end) {
        hex += "   ";
        ascii += ' ';
        continue;
      }
      const unsigned char byte = bytes[static_cast<size_t>(at - address)];
      std::snprintf(text, sizeof text, " %02x", byte);
      hex += text;
      ascii += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    hex += "  |";
    hex += ascii;
    hex += '|';
    lines.push_back(std::move(hex));
  }
  return lines;
}

std::string DescribePsr(uint32_t psr) {
  std::string text;
  const char flags[] = {'N', 'Z', 'C', 'V'};
  for (int i = 0; i < 4; ++i) {
    const bool set = (psr >> (31 - i) & 1) != 0;
    text += set ? flags[i] : static_cast<char>(flags[i] - 'A' + 'a');
  }
  text += ' ';
  text += (psr & 0x80) != 0 ? 'I' : 'i';
  text += (psr & 0x40) != 0 ? 'F' : 'f';
  text += (psr & 0x20) != 0 ? " Thumb " : " ARM ";
  const char* mode = ModeName(psr & 0x1F);
  if (mode != nullptr) {
    text += mode;
  } else {
    char number[16];
    std::snprintf(number, sizeof number, "mode=0x%02x", psr & 0x1F);
    text += number;
  }
  return text;
}

std::string TargetStateName(int state) {
  const char* name = "unknown";
  switch (state) {
    case VANTREL_STATE_NOT_OPENED: name = "not opened"; break;
    case VANTREL_STATE_DOWN: name = "down"; break;
    case VANTREL_STATE_CONNECTED: name = "connected and halted"; break;
    case VANTREL_STATE_HALTED: name = "halted"; break;
    case VANTREL_STATE_RUNNING: name = "running"; break;
    default: break;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%s (0x%x)", name, static_cast<unsigned>(state));
  return text;
}

void PrintField(const std::string& name, const std::string& value, const std::string& comment) {
  if (comment.empty()) std::printf("%-10s %s\n", name.c_str(), value.c_str());
  else std::printf("%-10s %-10s  %s\n", name.c_str(), value.c_str(), comment.c_str());
}

}  // namespace vantrel::cli
