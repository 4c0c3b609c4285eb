#include <algorithm>
#include <cstdio>

#include "image.h"

namespace vantrel::cli {

SymbolTable::SymbolTable(std::vector<Symbol> symbols) : symbols_(std::move(symbols)) {
  // Stable: of two symbols at one address, the first in the file stays first.
  std::stable_sort(symbols_.begin(), symbols_.end(),
                   [](const Symbol& a, const Symbol& b) { return a.address < b.address; });
}

const Symbol* SymbolTable::Find(const std::string& name) const {
  for (const Symbol& symbol : symbols_) {
    if (symbol.name == name) return &symbol;
  }
  return nullptr;
}

std::string SymbolTable::Describe(uint32_t address) const {
  // The closest symbol at or below the address whose size covers it; a symbol without
  // a size (an assembler label) covers up to the next symbol.
  const auto above = std::upper_bound(symbols_.begin(), symbols_.end(), address,
                                      [](uint32_t a, const Symbol& s) { return a < s.address; });
  for (auto it = above; it != symbols_.begin();) {
    --it;
    const uint32_t offset = address - it->address;
    const bool covers = it->size != 0 ? offset < it->size : it + 1 == symbols_.end() || address < (it + 1)->address;
    if (!covers) continue;
    if (offset == 0) return it->name;
    char text[32];
    std::snprintf(text, sizeof text, "+0x%x", offset);
    return it->name + text;
  }
  return "";
}

}  // namespace vantrel::cli
