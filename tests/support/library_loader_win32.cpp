// The Windows twin of library_loader.cpp: LoadLibraryA, GetProcAddress and FreeLibrary,
// as a Windows front end loads the DLL.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "support/library_loader.h"

namespace vantrel::test {
namespace {

template <typename Function>
void Bind(void* handle, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)));
  if (function == nullptr && error.empty()) error = std::string("missing export ") + name;
}

}  // namespace

LoadedLibrary::LoadedLibrary(const std::string& path) {
  std::string windowsPath = path;  // the build hands over a path with forward slashes
  std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
  path_ = windowsPath;
  handle_ = LoadLibraryA(windowsPath.c_str());
  if (handle_ == nullptr) {
    error_ = "LoadLibraryA(";  // appended: GCC 12 warns on a literal + string at -O3
    error_ += windowsPath;
    error_ += ") failed, error ";
    error_ += std::to_string(GetLastError());
    return;
  }
  Bind(handle_, "Dll_Jtag_Entry", Dll_Jtag_Entry, error_);
  Bind(handle_, "getDbgStatus", getDbgStatus, error_);
  Bind(handle_, "getJtagProcess", getJtagProcess, error_);
  Bind(handle_, "setJtagProcessBreak", setJtagProcessBreak, error_);
  Bind(handle_, "jtagGetLastError", jtagGetLastError, error_);
  Bind(handle_, "jtagClearLastError", jtagClearLastError, error_);
  Bind(handle_, "VantrelUsePortIo", VantrelUsePortIo, error_);
  Bind(handle_, "VantrelUsePortBatch", VantrelUsePortBatch, error_);
  Bind(handle_, "VantrelSetTraceSink", VantrelSetTraceSink, error_);
  Bind(handle_, "VantrelSetTransferMode", VantrelSetTransferMode, error_);
  Bind(handle_, "VantrelUseClock", VantrelUseClock, error_);
}

LoadedLibrary::~LoadedLibrary() { Unload(); }

void LoadedLibrary::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

bool LoadedLibrary::WaitUntilUnmapped(int timeoutMs) const {
  for (int waited = 0; GetModuleHandleA(path_.c_str()) != nullptr; waited += 5) {
    if (waited >= timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

}  // namespace vantrel::test
