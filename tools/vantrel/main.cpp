// vantrel: a command-line host for the Vantrel library.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "vantrel.h"

namespace {

std::string LibraryBesideProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "libVantrel.so";
  path[length] = '\0';
  std::string program(path);
  return program.substr(0, program.rfind('/') + 1) + "libVantrel.so";
}

std::string AskText(decltype(&Dll_Jtag_Entry) entry, int32_t code) {
  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  request.kind = VANTREL_KIND_CABLE;
  request.code = code;
  JtagResponse response;
  std::memset(&response, 0, sizeof response);
  entry(&request, &response);
  if (response.status != VANTREL_STATUS_OK) return "?";
  return std::string(reinterpret_cast<const char*>(response.data), strnlen(reinterpret_cast<const char*>(response.data), sizeof response.data));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "version") != 0) {
    std::fprintf(stderr, "usage: vantrel version\n");
    return 2;
  }
  const std::string libraryPath = LibraryBesideProgram();
  void* library = dlopen(libraryPath.c_str(), RTLD_NOW);
  if (library == nullptr) {
    std::fprintf(stderr, "vantrel: cannot load %s: %s\n", libraryPath.c_str(), dlerror());
    return 1;
  }
  auto entry = reinterpret_cast<decltype(&Dll_Jtag_Entry)>(dlsym(library, "Dll_Jtag_Entry"));
  if (entry == nullptr) {
    std::fprintf(stderr, "vantrel: %s has no Dll_Jtag_Entry\n", libraryPath.c_str());
    return 1;
  }
  std::printf("%s %s\n", AskText(entry, VANTREL_CMD_GET_NAME).c_str(), AskText(entry, VANTREL_CMD_GET_VERSION).c_str());
  dlclose(library);
  return 0;
}
