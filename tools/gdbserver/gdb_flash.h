// Flash for GDB: the banks probed at attach (--flash cfi@ADDRESS) or by `monitor flash
// probe`, described in the memory map so that GDB's load erases and writes them with
// vFlashErase, vFlashWrite and vFlashDone, and sets hardware breakpoints there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flash_banks.h"
#include "memory_map_xml.h"

namespace vantrel::gdb {

// "cfi@ADDRESS": the bank's start; empty with *error otherwise.
std::optional<uint32_t> ParseFlashOption(const std::string& text, std::string* error);

class GdbFlash {
 public:
  GdbFlash(const client::Library& library, std::vector<uint32_t> configured)
      : banks_(library), configured_(std::move(configured)) {}

  // Probes the banks named on the command line that are not known yet; reports failures
  // on standard error.
  void ProbeConfigured();
  bool Active() const { return !banks_.Empty(); }
  // Any byte of the range in a bank: plain memory writes there are refused.
  bool Holds(uint32_t address, uint64_t length) const { return banks_.Overlapping(address, length) != nullptr; }

  // The banks' erase-block regions, for the memory map.
  std::vector<MapArea> Areas() const;
  std::string Erase(const std::string& args);  // vFlashErase: "ADDR,LENGTH"
  std::string Write(const std::string& args);  // vFlashWrite: "ADDR:DATA", DATA escaped binary
  std::string Done();                          // vFlashDone
  // `monitor flash ...`: the text to show.
  std::string Monitor(const std::vector<std::string>& words);

 private:
  flash::FlashBanks banks_;
  std::vector<uint32_t> configured_;
  std::vector<flash::Piece> pending_;
};

}  // namespace vantrel::gdb
