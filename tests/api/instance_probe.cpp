// A minimal host process for the instance-guard tests: it loads the library, reports
// what one command and the status exports answer, then each trace line that command
// wrote ("trace=..."), and either exits or holds the library until its standard input
// closes.
//   instance_probe LIBRARY once|hold
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include <string>

#include "vantrel.h"
#include "vantrel_port.h"

namespace {

void CollectTrace(void* context, const char* line) { *static_cast<std::string*>(context) += line; }

void PrintTrace(const std::string& trace) {
  std::size_t start = 0;
  while (start < trace.size()) {
    std::size_t end = trace.find('\n', start);
    if (end == std::string::npos) end = trace.size();
    std::printf("trace=%s\n", trace.substr(start, end - start).c_str());
    start = end + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: instance_probe LIBRARY once|hold\n");
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW);
  if (library == nullptr) {
    std::printf("load-failed %s\n", dlerror());
    return 3;
  }
  auto entry = reinterpret_cast<decltype(&Dll_Jtag_Entry)>(dlsym(library, "Dll_Jtag_Entry"));
  auto dbgStatus = reinterpret_cast<decltype(&getDbgStatus)>(dlsym(library, "getDbgStatus"));
  auto process = reinterpret_cast<decltype(&getJtagProcess)>(dlsym(library, "getJtagProcess"));
  auto setTraceSink = reinterpret_cast<decltype(&VantrelSetTraceSink)>(dlsym(library, "VantrelSetTraceSink"));
  std::string trace;
  setTraceSink(&CollectTrace, &trace);

  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  request.kind = VANTREL_KIND_CABLE;
  request.code = VANTREL_CMD_GET_NAME;
  JtagResponse response;
  std::memset(&response, 0, sizeof response);
  entry(&request, &response);
  std::printf("status=%d dbg=%d process=%d text=%s\n", response.status, dbgStatus(1), process(),
              reinterpret_cast<const char*>(response.data));
  setTraceSink(nullptr, nullptr);
  PrintTrace(trace);
  std::fflush(stdout);

  if (std::strcmp(argv[2], "hold") == 0) {
    char ignored[64];
    while (std::fgets(ignored, sizeof ignored, stdin) != nullptr) {
    }
  }
  dlclose(library);
  return 0;
}
