#include "work_area.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "target_facts.h"

namespace vantrel::flash {

namespace {

// The library reads no larger file either.
constexpr std::streamsize kMaxIniBytes = std::streamsize{64} * 1024;
constexpr char kReadWriteProperty[] = "-RW";

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first])) != 0) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])) != 0) --last;
  return text.substr(first, last - first);
}

std::optional<uint32_t> Hex(const std::string& word) {
  const std::string digits = Trim(word);
  if (digits.empty()) return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, 16);
  if (*end != '\0' || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::string ExecutableDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  const std::string full(path, static_cast<size_t>(length));
  const size_t slash = full.rfind('/');
  return slash == std::string::npos ? "." : full.substr(0, slash);
}

}  // namespace

std::optional<WorkArea> WorkAreaFromIni(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::optional<WorkArea> found;
  while (std::getline(lines, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = Trim(line.substr(0, equals));
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key != "workarea") continue;
    const std::string value = line.substr(equals + 1);
    const size_t comma = value.find(',');
    if (comma == std::string::npos) continue;
    const std::optional<uint32_t> address = Hex(value.substr(0, comma));
    const std::optional<uint32_t> size = Hex(value.substr(comma + 1));
    if (address && size && *size != 0 && uint64_t{*address} + *size <= 0x100000000ull)
      found = WorkArea{*address, *size};
  }
  return found;
}

std::optional<WorkArea> WorkAreaFromListing(const std::string& listing) {
  std::istringstream rows(listing);
  std::string number;
  std::string start;
  std::string length;
  std::string property;
  std::string rest;
  std::string line;
  while (std::getline(rows, line)) {
    std::istringstream fields(line);
    if (!(fields >> number >> start >> length >> property) || property != kReadWriteProperty) continue;
    const std::optional<uint32_t> first = Hex(start);
    const std::optional<uint32_t> size = Hex(length);
    if (first && size && *size != 0) return WorkArea{*first, *size};
  }
  return std::nullopt;
}

std::optional<WorkArea> FindWorkArea(const client::Library& library) {
  const std::string path = ExecutableDirectory() + "/lpt.ini";
  struct stat info {};
  // Only a regular file: a FIFO there would block the open.
  std::ifstream file;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) file.open(path, std::ios::binary);
  if (file) {
    std::string text(static_cast<size_t>(kMaxIniBytes), '\0');
    file.read(text.data(), kMaxIniBytes);
    text.resize(static_cast<size_t>(file.gcount()));
    if (const std::optional<WorkArea> area = WorkAreaFromIni(text)) return area;
  }
  const client::Answer answer = client::ListRegions(library);
  if (!answer.Ok()) return std::nullopt;
  return WorkAreaFromListing(answer.text);
}

}  // namespace vantrel::flash
