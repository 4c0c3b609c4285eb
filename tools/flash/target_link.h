// How the flash layer reaches the target: the library's memory transfers, registers,
// run and stop, exactly as any front end uses them. Every failure carries a message.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library.h"
#include "memory_calls.h"

namespace vantrel::flash {

using Bytes = std::vector<unsigned char>;

class TargetLink {
 public:
  explicit TargetLink(const client::Library& library) : library_(library) {}

  // Memory in word accesses: a 16-bit chip sees two bus cycles per word, the low
  // halfword first.
  bool Read(uint32_t address, size_t length, Bytes* bytes);
  bool Write(uint32_t address, const Bytes& bytes);
  bool ReadHalfword(uint32_t address, uint16_t* value);
  bool ReadWord(uint32_t address, uint32_t* value);

  bool ReadRegisters(const std::vector<std::string>& names, std::vector<uint32_t>* values);
  bool WriteRegister(const std::string& name, uint32_t value);
  bool SetSoftwareBreak(uint32_t address);
  bool Run();
  // Polls the status word until the core halts; false (the core still running) when
  // the limit passes first or the cable no longer answers.
  bool WaitForHalt(std::chrono::milliseconds limit);
  bool Stop();
  // The core halted in debug state and in ARM state.
  bool HaltedInArmState(bool* arm);

  // Work-area bytes a loop could not put back (the cable gone, the power lost): they go
  // back at the next flash operation, provided the area still holds what the loop left
  // there, or the start of what was being put back when the link went.
  struct LeftArea {
    uint32_t address = 0;
    Bytes saved;
    Bytes left;              // the loop's words as they were left there; empty when a load of them broke off
    size_t breakOffset = 0;  // the word of left that holds the halting breakpoint's pattern instead
  };
  void LeaveArea(LeftArea area) { leftArea_ = std::move(area); }
  // True when nothing is left behind any more (put back, or overwritten since).
  bool PutBackLeftArea();

  const std::string& Error() const { return error_; }
  bool Fail(const std::string& message);
  const client::Library& library() const { return library_; }

 private:
  bool Check(const client::Answer& answer, const char* what);
  bool Transferred(const client::TransferResult& result, const char* what);

  const client::Library& library_;
  std::string error_;
  std::optional<LeftArea> leftArea_;
};

}  // namespace vantrel::flash
