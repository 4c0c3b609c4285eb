// The Vantrel library as the host sees it: a shared object loaded with dlopen and driven
// only through its exports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vantrel.h"

namespace vantrel::client {

// One answer of Dll_Jtag_Entry, copied out of the response record.
struct Answer {
  int32_t echo = 0;
  int32_t status = VANTREL_STATUS_FAILED;
  std::vector<unsigned char> data;  // the valid bytes (length), clipped to the data area
  std::string text;                 // the data up to its first zero byte: the message

  bool Ok() const { return status == VANTREL_STATUS_OK; }
  // The library's message, or what stands for it when the answer carries none.
  std::string Reason() const;
  uint32_t Word(size_t index) const;  // little-endian word i of data; 0 past the end
};

class Library {
 public:
  Library() = default;
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Loads the library and resolves every export; false with Error() set otherwise.
  bool Load(const std::string& path);
  const std::string& Error() const { return error_; }

  // Runs one command; the request's kind is the cable's and its code is set here.
  Answer Call(JtagRequest request, int32_t code) const;

  int DbgStatus(int selector) const { return getDbgStatus_(selector); }
  int Progress() const { return getJtagProcess_(); }
  void RequestBreak() const { setJtagProcessBreak_(); }
  // The export itself, for the Ctrl-C handler: it only sets the library's stop flag.
  decltype(&::setJtagProcessBreak) BreakEntry() const { return setJtagProcessBreak_; }
  int LastJobResult() const { return jtagGetLastError_(); }
  void ClearLastJobResult() const { jtagClearLastError_(); }
  void UsePortIo(const VantrelPortIo* io) const { VantrelUsePortIo_(io); }
  void UsePortBatch(const VantrelPortIo* io, VantrelPortBatch batch) const { VantrelUsePortBatch_(io, batch); }
  void SetTraceSink(VantrelTraceSink sink, void* context) const { VantrelSetTraceSink_(sink, context); }
  void SetTransferMode(int mode) const { VantrelSetTransferMode_(mode); }

 private:
  void* handle_ = nullptr;
  std::string error_;
  decltype(&::Dll_Jtag_Entry) Dll_Jtag_Entry_ = nullptr;
  decltype(&::getDbgStatus) getDbgStatus_ = nullptr;
  decltype(&::getJtagProcess) getJtagProcess_ = nullptr;
  decltype(&::setJtagProcessBreak) setJtagProcessBreak_ = nullptr;
  decltype(&::jtagGetLastError) jtagGetLastError_ = nullptr;
  decltype(&::jtagClearLastError) jtagClearLastError_ = nullptr;
  decltype(&::VantrelUsePortIo) VantrelUsePortIo_ = nullptr;
  decltype(&::VantrelUsePortBatch) VantrelUsePortBatch_ = nullptr;
  decltype(&::VantrelSetTraceSink) VantrelSetTraceSink_ = nullptr;
  decltype(&::VantrelSetTransferMode) VantrelSetTransferMode_ = nullptr;
};

// A request with every byte zero.
JtagRequest EmptyRequest();

// Where the program looks for the library when --library does not say: beside itself, or
// else in the library directory of the prefix it is installed in.
std::string DefaultLibraryPath();

}  // namespace vantrel::client
