// The record helpers of LoadedLibrary, the same whichever way the library was loaded.
#include <cstring>

#include "support/library_loader.h"

namespace vantrel::test {

JtagResponse LoadedLibrary::Call(JtagRequest request, int32_t kind, int32_t code) {
  request.kind = kind;
  request.code = code;
  JtagResponse response;
  std::memset(&response, 0xA5, sizeof response);  // so that unwritten fields show
  Dll_Jtag_Entry(&request, &response);
  return response;
}

JtagRequest EmptyRequest() {
  JtagRequest request;
  std::memset(&request, 0, sizeof request);
  return request;
}

std::string ResponseText(const JtagResponse& response) {
  const void* end = std::memchr(response.data, 0, sizeof response.data);
  const std::size_t length = end != nullptr
                                 ? static_cast<std::size_t>(static_cast<const unsigned char*>(end) - response.data)
                                 : sizeof response.data;
  return std::string(reinterpret_cast<const char*>(response.data), length);
}

}  // namespace vantrel::test
