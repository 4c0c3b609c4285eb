#include "address_expression.h"

#include "numbers.h"

namespace vantrel::cli {

namespace {

std::string UnknownName(const std::string& word, const std::string& name, const SymbolTable& symbols) {
  if (!name.empty() && name[0] >= '0' && name[0] <= '9')
    return "bad number '" + word + "' (32 bits, decimal or 0x hex)";
  if (symbols.Empty()) return "'" + name + "' is not a number, and no symbols are loaded (load an ELF file first)";
  return "no symbol '" + name + "' in the loaded image";
}

}  // namespace

std::optional<uint32_t> ParseAddressExpression(const std::string& word, const SymbolTable& symbols,
                                               std::string* error) {
  if (const auto number = ParseNumber(word)) return number;
  const size_t plus = word.find('+');
  const std::string name = word.substr(0, plus);
  uint32_t offset = 0;
  if (plus != std::string::npos) {
    const auto parsed = ParseNumber(word.substr(plus + 1));
    if (!parsed) {
      *error = "bad offset in '" + word + "'";
      return std::nullopt;
    }
    offset = *parsed;
  }
  const Symbol* symbol = symbols.Find(name);
  if (symbol == nullptr) {
    *error = UnknownName(word, name, symbols);
    return std::nullopt;
  }
  const uint64_t address = static_cast<uint64_t>(symbol->address) + offset;
  if (address > UINT32_MAX) {
    *error = "'" + word + "' passes the end of the 32-bit address space";
    return std::nullopt;
  }
  return static_cast<uint32_t>(address);
}

}  // namespace vantrel::cli
