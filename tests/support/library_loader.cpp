#include "support/library_loader.h"

#include <dlfcn.h>

#include <unistd.h>

#include <cstring>

namespace vantrel::test {
namespace {

template <typename Function>
void Bind(void* handle, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (function == nullptr && error.empty()) error = std::string("missing export ") + name;
}

}  // namespace

LoadedLibrary::LoadedLibrary(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    error_ = reason != nullptr ? reason : "dlopen failed";
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
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

bool LoadedLibrary::WaitUntilUnmapped(int timeoutMs) const {
  for (int waited = 0;; waited += 5) {
    void* still = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (still == nullptr) return true;
    dlclose(still);
    if (waited >= timeoutMs) return false;
    usleep(5000);
  }
}

}  // namespace vantrel::test
