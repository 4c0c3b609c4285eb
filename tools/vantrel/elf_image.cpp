// ELF32 ARM executables through libelf: the loadable segments at their physical
// addresses, the entry point, and the function and data symbols.
#include <gelf.h>
#include <libelf.h>

#include <algorithm>

#include "image.h"
#include "numbers.h"

namespace vantrel::cli {

namespace {

class ElfHandle {
 public:
  // libelf may convert the image in place, so it gets a copy of its own.
  explicit ElfHandle(const std::vector<unsigned char>& file)
      : copy_(file), elf_(elf_memory(reinterpret_cast<char*>(copy_.data()), copy_.size())) {}
  ~ElfHandle() {
    if (elf_ != nullptr) elf_end(elf_);
  }
  ElfHandle(const ElfHandle&) = delete;
  ElfHandle& operator=(const ElfHandle&) = delete;
  Elf* get() const { return elf_; }

 private:
  std::vector<unsigned char> copy_;
  Elf* elf_;
};

std::string ElfError() { return elf_errmsg(-1) != nullptr ? elf_errmsg(-1) : "unknown libelf error"; }

bool CheckHeader(Elf* elf, GElf_Ehdr* header, std::string* error) {
  if (elf_kind(elf) != ELF_K_ELF || gelf_getehdr(elf, header) == nullptr) {
    *error = "not a valid ELF file: " + ElfError();
    return false;
  }
  if (gelf_getclass(elf) != ELFCLASS32) *error = "not a 32-bit ELF file";
  else if (header->e_machine != EM_ARM) *error = "not an ARM ELF file";
  else if (header->e_type != ET_EXEC) *error = "not an executable (link it first)";
  return error->empty();
}

bool ReadSegments(Elf* elf, const std::vector<unsigned char>& file, Image* image, std::string* error) {
  size_t count = 0;
  if (elf_getphdrnum(elf, &count) != 0) {
    *error = "bad program headers: " + ElfError();
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    GElf_Phdr header;
    if (gelf_getphdr(elf, static_cast<int>(i), &header) == nullptr) {
      *error = "bad program header " + std::to_string(i) + ": " + ElfError();
      return false;
    }
    if (header.p_type != PT_LOAD || header.p_filesz == 0) continue;
    if (header.p_offset > file.size() || header.p_filesz > file.size() - header.p_offset ||
        header.p_paddr + header.p_filesz > 0x100000000ull) {
      *error = "segment " + std::to_string(i) + " lies outside the file or the address space";
      return false;
    }
    Segment segment;
    segment.address = static_cast<uint32_t>(header.p_paddr);
    const auto first = file.begin() + static_cast<std::ptrdiff_t>(header.p_offset);
    segment.bytes.assign(first, first + static_cast<std::ptrdiff_t>(header.p_filesz));
    image->segments.push_back(std::move(segment));
  }
  if (image->segments.empty()) *error = "no loadable segment";
  return error->empty();
}

// Two segments over the same bytes would each load and verify in turn, the later one
// silently replacing the earlier: such an image is refused.
bool CheckNoOverlap(const std::vector<Segment>& segments, std::string* error) {
  std::vector<const Segment*> byAddress;
  byAddress.reserve(segments.size());
  for (const Segment& segment : segments) byAddress.push_back(&segment);
  std::sort(byAddress.begin(), byAddress.end(),
            [](const Segment* a, const Segment* b) { return a->address < b->address; });
  for (size_t i = 1; i < byAddress.size(); ++i) {
    const Segment& lower = *byAddress[i - 1];
    if (lower.address + static_cast<uint64_t>(lower.bytes.size()) > byAddress[i]->address) {
      *error = "loadable segments overlap at " + Hex32(byAddress[i]->address);
      return false;
    }
  }
  return true;
}

bool IsUsefulSymbol(const GElf_Sym& symbol, const char* name) {
  const int type = GELF_ST_TYPE(symbol.st_info);
  const bool kindWanted = type == STT_FUNC || type == STT_OBJECT || type == STT_NOTYPE;
  // '$a', '$t' and '$d' mark code and data inside functions; they name nothing.
  return kindWanted && name != nullptr && name[0] != '\0' && name[0] != '$' && symbol.st_shndx != SHN_UNDEF &&
         symbol.st_shndx < SHN_LORESERVE;
}

void ReadSymbols(Elf* elf, Image* image) {
  std::vector<Symbol> symbols;
  for (Elf_Scn* section = elf_nextscn(elf, nullptr); section != nullptr; section = elf_nextscn(elf, section)) {
    GElf_Shdr header;
    if (gelf_getshdr(section, &header) == nullptr || header.sh_type != SHT_SYMTAB || header.sh_entsize == 0) continue;
    Elf_Data* data = elf_getdata(section, nullptr);
    if (data == nullptr) continue;
    const size_t count = data->d_size / header.sh_entsize;
    for (size_t i = 0; i < count; ++i) {
      GElf_Sym symbol;
      if (gelf_getsym(data, static_cast<int>(i), &symbol) == nullptr) continue;
      const char* name = elf_strptr(elf, header.sh_link, symbol.st_name);
      if (!IsUsefulSymbol(symbol, name)) continue;
      const bool thumb = GELF_ST_TYPE(symbol.st_info) == STT_FUNC && (symbol.st_value & 1) != 0;
      symbols.push_back(
          Symbol{name, static_cast<uint32_t>(symbol.st_value & ~1ull), static_cast<uint32_t>(symbol.st_size), thumb});
    }
  }
  image->symbols = SymbolTable(std::move(symbols));
}

}  // namespace

bool ReadElfImage(const std::vector<unsigned char>& file, Image* image, std::string* error) {
  error->clear();
  elf_version(EV_CURRENT);
  const ElfHandle elf(file);
  GElf_Ehdr header;
  if (elf.get() == nullptr) {
    *error = "not a valid ELF file: " + ElfError();
    return false;
  }
  if (!CheckHeader(elf.get(), &header, error) || !ReadSegments(elf.get(), file, image, error) ||
      !CheckNoOverlap(image->segments, error)) {
    return false;
  }
  image->format = "ELF";
  image->entry = static_cast<uint32_t>(header.e_entry);
  ReadSymbols(elf.get(), image);
  return true;
}

}  // namespace vantrel::cli
