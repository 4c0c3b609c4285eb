// Which reader a file needs: ELF by its magic number, Intel HEX by its leading colon,
// and anything else only as a raw binary at an address the user gives.
#include "image.h"
#include "user_files.h"

namespace vantrel::cli {

namespace {

bool IsElf(const std::vector<unsigned char>& file) {
  return file.size() >= 4 && file[0] == 0x7F && file[1] == 'E' && file[2] == 'L' && file[3] == 'F';
}

bool LooksLikeHex(const std::vector<unsigned char>& file) {
  for (unsigned char c : file) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    return c == ':';
  }
  return false;
}

}  // namespace

bool LoadImageFile(const std::string& path, std::optional<uint32_t> loadAddress, Image* image, std::string* error) {
  std::vector<unsigned char> file;
  if (!ReadUserFile(path, kMaxUserFileBytes, &file, error)) return false;
  const bool elf = IsElf(file);
  const bool hex = !elf && LooksLikeHex(file);
  if ((elf || hex) && loadAddress) {
    *error =
        path + ": --at is for raw binaries; this file is " + (elf ? "ELF" : "Intel HEX") + " and says where it goes";
    return false;
  }
  std::string why;
  bool ok = false;
  if (elf) {
    ok = ReadElfImage(file, image, &why);
  } else if (hex) {
    ok = ReadIntelHex(std::string(file.begin(), file.end()), image, &why);
  } else if (!loadAddress) {
    why = "neither ELF nor Intel HEX; give --at ADDRESS to load it as a raw binary";
  } else if (file.empty() || *loadAddress + static_cast<uint64_t>(file.size()) > 0x100000000ull) {
    why = file.empty() ? "the file is empty" : "the file does not fit below 4 GiB at that address";
  } else {
    image->format = "raw";
    image->segments.push_back(Segment{*loadAddress, std::move(file)});
    image->entry = *loadAddress;
    ok = true;
  }
  if (!ok) *error = path + ": " + why;
  return ok;
}

}  // namespace vantrel::cli
