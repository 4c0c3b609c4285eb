#include "library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vantrel::client {

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (function == nullptr) error = std::string("the library has no export ") + name;
  return function != nullptr;
}

}  // namespace

uint32_t Answer::Word(size_t index) const {
  const size_t offset = index * 4;
  if (offset + 4 > data.size()) return 0;
  return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
         static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
}

std::string Answer::Reason() const {
  if (!text.empty()) return text;
  std::string reason = "failed (status ";
  reason += std::to_string(status);
  reason += ", no message)";
  return reason;
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool Library::Load(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error_ = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
    return false;
  }
  return Resolve(handle_, "Dll_Jtag_Entry", Dll_Jtag_Entry_, error_) &&
         Resolve(handle_, "getDbgStatus", getDbgStatus_, error_) &&
         Resolve(handle_, "getJtagProcess", getJtagProcess_, error_) &&
         Resolve(handle_, "setJtagProcessBreak", setJtagProcessBreak_, error_) &&
         Resolve(handle_, "jtagGetLastError", jtagGetLastError_, error_) &&
         Resolve(handle_, "jtagClearLastError", jtagClearLastError_, error_) &&
         Resolve(handle_, "VantrelUsePortIo", VantrelUsePortIo_, error_) &&
         Resolve(handle_, "VantrelUsePortBatch", VantrelUsePortBatch_, error_) &&
         Resolve(handle_, "VantrelSetTraceSink", VantrelSetTraceSink_, error_) &&
         Resolve(handle_, "VantrelSetTransferMode", VantrelSetTransferMode_, error_);
}

Answer Library::Call(JtagRequest request, int32_t code) const {
  request.kind = VANTREL_KIND_CABLE;
  request.code = code;
  JtagResponse response;
  std::memset(&response, 0, sizeof response);
  Dll_Jtag_Entry_(&request, &response);
  Answer answer;
  answer.echo = response.echo;
  answer.status = response.status;
  // A refused instance writes no length: its message is NUL-terminated instead.
  const size_t length = static_cast<size_t>(std::clamp<int32_t>(response.length, 0, VANTREL_RESPONSE_DATA_SIZE));
  answer.data.assign(response.data, response.data + length);
  const char* text = reinterpret_cast<const char*>(response.data);
  answer.text.assign(text, strnlen(text, sizeof response.data));
  return answer;
}

JtagRequest EmptyRequest() {
  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  return request;
}

std::string DefaultLibraryPath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return VANTREL_LIBRARY_FILE;
  path[length] = '\0';
  const std::string program(path);
  const std::string directory = program.substr(0, program.rfind('/') + 1);
  // The build tree puts the library beside the program; an installed program finds it in
  // the library directory of its own prefix, wherever that prefix was moved.
  std::string beside = directory + "libVantrel.so";
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return directory + VANTREL_LIBDIR_FROM_BINDIR + "/" + VANTREL_LIBRARY_FILE;
}

}  // namespace vantrel::client
