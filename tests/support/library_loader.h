// The built library loaded the way a host loads it: dlopen, then the exports only.
#pragma once

#include <string>

#include "vantrel.h"

namespace vantrel::test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  // dlclose now, as a host unloading the library; the exports are unusable afterwards.
  void Unload();
  // After Unload: waits up to timeoutMs for the library to leave the process, and says
  // whether it did. On Windows a running job's thread holds the library until it ends,
  // since FreeLibrary cannot wait for a thread under the loader lock.
  bool WaitUntilUnmapped(int timeoutMs) const;
  const std::string& Error() const { return error_; }

  decltype(&::Dll_Jtag_Entry) Dll_Jtag_Entry = nullptr;
  decltype(&::getDbgStatus) getDbgStatus = nullptr;
  decltype(&::getJtagProcess) getJtagProcess = nullptr;
  decltype(&::setJtagProcessBreak) setJtagProcessBreak = nullptr;
  decltype(&::jtagGetLastError) jtagGetLastError = nullptr;
  decltype(&::jtagClearLastError) jtagClearLastError = nullptr;
  decltype(&::VantrelUsePortIo) VantrelUsePortIo = nullptr;
  decltype(&::VantrelUsePortBatch) VantrelUsePortBatch = nullptr;
  decltype(&::VantrelSetTraceSink) VantrelSetTraceSink = nullptr;
  decltype(&::VantrelSetTransferMode) VantrelSetTransferMode = nullptr;
  decltype(&::VantrelUseClock) VantrelUseClock = nullptr;

  // One command with a fresh response; the request's kind and code are set here.
  JtagResponse Call(JtagRequest request, int32_t kind, int32_t code);

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

// A request with every byte zero.
JtagRequest EmptyRequest();
// The response data as text up to its first zero byte.
std::string ResponseText(const JtagResponse& response);

}  // namespace vantrel::test
