// A program image as the loaders read it from a file: the bytes to place in target
// memory, where the core starts, and the names of its functions and data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

struct Segment {
  uint32_t address = 0;
  std::vector<unsigned char> bytes;
};

struct Symbol {
  std::string name;
  uint32_t address = 0;  // Thumb bit cleared
  uint32_t size = 0;
  bool thumb = false;
};

class SymbolTable {
 public:
  SymbolTable() = default;
  // Sorted once here: an image may hold a hundred thousand symbols in any order.
  explicit SymbolTable(std::vector<Symbol> symbols);
  bool Empty() const { return symbols_.empty(); }
  size_t Size() const { return symbols_.size(); }
  const Symbol* Find(const std::string& name) const;
  // "main+0x10", "checksum" or empty when no symbol covers the address.
  std::string Describe(uint32_t address) const;

 private:
  std::vector<Symbol> symbols_;  // in address order
};

struct Image {
  std::string format;  // "ELF", "Intel HEX" or "raw"
  std::vector<Segment> segments;
  std::optional<uint32_t> entry;
  SymbolTable symbols;
};

// Reads an ELF32 ARM executable, an Intel HEX file, or (with loadAddress) a raw binary.
// False with a one-line reason in *error when the file cannot be used.
bool LoadImageFile(const std::string& path, std::optional<uint32_t> loadAddress, Image* image, std::string* error);

// The format readers behind LoadImageFile, each given the whole file.
bool ReadElfImage(const std::vector<unsigned char>& file, Image* image, std::string* error);
bool ReadIntelHex(const std::string& text, Image* image, std::string* error);

}  // namespace vantrel::cli
