#include <algorithm>
#include <cstdio>

#include "image.h"

namespace vantrel::cli {

void SymbolTable::Add(Symbol symbol) {
  const auto place = std::upper_bound(symbols_.begin(), symbols_.end(), symbol.address,
                                      [](uint32_t address, const Symbol& s) { return address < s.address; });
  symbols_.insert(place, std::move(symbol));
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
