// Numbers, hex byte lists and symbol+offset addresses as a person types them. A number
// means the same as an address expression; a symbol+offset never wraps past 4 GiB.
#include <cstddef>
#include <cstdint>
#include <string>

#include "address_expression.h"
#include "numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel::cli;
  static const SymbolTable symbols({{"main", 0x84, 0x9C, false}, {"top", 0xFFFFFFF0u, 16, false}, {"x", 0, 0, true}});
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto number = ParseNumber(text);
  (void)ParseHexBytes({text});
  std::string error;
  const auto address = ParseAddressExpression(text, symbols, &error);
  if (number && address != number) __builtin_trap();
  if (!address && error.empty()) __builtin_trap();
  if (address && !number) {
    const Symbol* symbol = symbols.Find(text.substr(0, text.find('+')));
    if (symbol == nullptr || *address < symbol->address) __builtin_trap();
  }
  return 0;
}
