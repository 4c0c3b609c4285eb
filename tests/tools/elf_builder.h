// Small ELF32 ARM executables made in memory, for the shapes the toolchain will not
// link: overlapping segments, symbol tables of any size and order.
#pragma once

#include <elf.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vantrel::test {

struct ElfSegment {
  uint32_t address;
  std::vector<unsigned char> bytes;
};

struct ElfSymbol {
  std::string name;
  uint32_t value;
  uint32_t size;
};

class ElfBuilder {
 public:
  ElfBuilder& Segment(uint32_t address, std::vector<unsigned char> bytes) {
    segments_.push_back({address, std::move(bytes)});
    return *this;
  }
  ElfBuilder& Function(std::string name, uint32_t value, uint32_t size) {
    symbols_.push_back({std::move(name), value, size});
    return *this;
  }

  // Header, program headers, segment bytes, .symtab, .strtab, .shstrtab, section headers;
  // sections: 0 null, 1 .text (the first segment), 2 .symtab, 3 .strtab, 4 .shstrtab.
  std::vector<unsigned char> Build() const {
    std::vector<unsigned char> file(sizeof(Elf32_Ehdr) + segments_.size() * sizeof(Elf32_Phdr));
    std::vector<Elf32_Phdr> programs;
    for (const ElfSegment& segment : segments_) {
      Elf32_Phdr program{};
      program.p_type = PT_LOAD;
      program.p_offset = Append(file, segment.bytes);
      program.p_vaddr = program.p_paddr = segment.address;
      program.p_filesz = program.p_memsz = static_cast<uint32_t>(segment.bytes.size());
      program.p_flags = PF_R | PF_X;
      programs.push_back(program);
    }
    std::string strings(1, '\0');
    std::vector<Elf32_Sym> table(1, Elf32_Sym{});
    for (const ElfSymbol& symbol : symbols_) {
      Elf32_Sym entry{};
      entry.st_name = static_cast<uint32_t>(strings.size());
      strings += symbol.name + '\0';
      entry.st_value = symbol.value;
      entry.st_size = symbol.size;
      entry.st_info = ELF32_ST_INFO(STB_GLOBAL, STT_FUNC);
      entry.st_shndx = 1;
      table.push_back(entry);
    }
    const std::string sectionNames = std::string("\0.text\0.symtab\0.strtab\0.shstrtab\0", 33);
    const uint32_t symtabOffset = Append(file, AsBytes(table.data(), table.size() * sizeof(Elf32_Sym)));
    const uint32_t strtabOffset = Append(file, AsBytes(strings.data(), strings.size()));
    const uint32_t namesOffset = Append(file, AsBytes(sectionNames.data(), sectionNames.size()));
    std::vector<Elf32_Shdr> sections(5, Elf32_Shdr{});
    if (!segments_.empty()) {
      sections[1] = Section(1, SHT_PROGBITS, programs[0].p_offset, programs[0].p_filesz);
      sections[1].sh_addr = segments_[0].address;
    }
    sections[2] = Section(7, SHT_SYMTAB, symtabOffset, static_cast<uint32_t>(table.size() * sizeof(Elf32_Sym)));
    sections[2].sh_link = 3;
    sections[2].sh_entsize = sizeof(Elf32_Sym);
    sections[3] = Section(15, SHT_STRTAB, strtabOffset, static_cast<uint32_t>(strings.size()));
    sections[4] = Section(23, SHT_STRTAB, namesOffset, static_cast<uint32_t>(sectionNames.size()));
    const uint32_t sectionsOffset = Append(file, AsBytes(sections.data(), sections.size() * sizeof(Elf32_Shdr)));

    Elf32_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS32;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_machine = EM_ARM;
    header.e_version = EV_CURRENT;
    header.e_entry = segments_.empty() ? 0 : segments_[0].address;
    header.e_phoff = sizeof(Elf32_Ehdr);
    header.e_shoff = sectionsOffset;
    header.e_ehsize = sizeof(Elf32_Ehdr);
    header.e_phentsize = sizeof(Elf32_Phdr);
    header.e_phnum = static_cast<uint16_t>(programs.size());
    header.e_shentsize = sizeof(Elf32_Shdr);
    header.e_shnum = static_cast<uint16_t>(sections.size());
    header.e_shstrndx = 4;
    std::memcpy(file.data(), &header, sizeof header);
    if (!programs.empty())
      std::memcpy(file.data() + sizeof header, programs.data(), programs.size() * sizeof(Elf32_Phdr));
    return file;
  }

 private:
  static std::vector<unsigned char> AsBytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
  }
  // Appends at a 4-byte boundary; returns the offset.
  static uint32_t Append(std::vector<unsigned char>& file, const std::vector<unsigned char>& bytes) {
    file.resize((file.size() + 3) & ~size_t{3});
    const auto offset = static_cast<uint32_t>(file.size());
    file.insert(file.end(), bytes.begin(), bytes.end());
    return offset;
  }
  static Elf32_Shdr Section(uint32_t name, uint32_t type, uint32_t offset, uint32_t size) {
    Elf32_Shdr section{};
    section.sh_name = name;
    section.sh_type = type;
    section.sh_offset = offset;
    section.sh_size = size;
    section.sh_addralign = 1;
    return section;
  }

  std::vector<ElfSegment> segments_;
  std::vector<ElfSymbol> symbols_;
};

}  // namespace vantrel::test
