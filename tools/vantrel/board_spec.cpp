#include "board_spec.h"

#include <cstdio>
#include <sstream>

#include "numbers.h"

namespace vantrel::cli {

namespace {

bool ParseKind(const std::string& name, BoardRegionSpec::Kind* kind) {
  if (name == "ram") *kind = BoardRegionSpec::Kind::kRam;
  else if (name == "rom") *kind = BoardRegionSpec::Kind::kRom;
  else if (name == "abort") *kind = BoardRegionSpec::Kind::kAbort;
  else if (name == "flash") *kind = BoardRegionSpec::Kind::kFlash;
  else return false;
  return true;
}

// A flash region's ":amd16" or ":intel16" after its size, taken off the end of *sizeText.
bool ParseFlashKind(std::string* sizeText, BoardRegionSpec* region) {
  const size_t colon = sizeText->find(':');
  if (colon == std::string::npos) return true;
  const std::string name = sizeText->substr(colon + 1);
  sizeText->resize(colon);
  if (name == "amd16") region->flashKind = BoardRegionSpec::FlashKind::kAmd16;
  else if (name == "intel16") region->flashKind = BoardRegionSpec::FlashKind::kIntel16;
  else return false;
  return true;
}

bool ParseRegion(const std::string& item, BoardRegionSpec* region, std::string* error) {
  const size_t at = item.find('@');
  const size_t colon = item.find(':', at == std::string::npos ? 0 : at);
  if (at == std::string::npos || colon == std::string::npos || !ParseKind(item.substr(0, at), &region->kind)) {
    *error = "'" + item + "' is not KIND@BASE:SIZE with KIND ram, rom, abort or flash";
    return false;
  }
  std::string sizeText = item.substr(colon + 1);
  if (region->kind == BoardRegionSpec::Kind::kFlash && !ParseFlashKind(&sizeText, region)) {
    *error = "'" + item + "': a flash region is flash@BASE:SIZE[:KIND] with KIND amd16 or intel16";
    return false;
  }
  const auto base = ParseNumber(item.substr(at + 1, colon - at - 1));
  const auto size = ParseNumber(sizeText);
  if (!base || !size || *size == 0 || *size % 4 != 0 || *base % 4 != 0) {
    *error = "'" + item + "': base and size must be numbers, multiples of 4, and the size not 0";
    return false;
  }
  region->base = *base;
  region->size = *size;
  return true;
}

const char* KindName(BoardRegionSpec::Kind kind) {
  switch (kind) {
    case BoardRegionSpec::Kind::kRam: return "RAM";
    case BoardRegionSpec::Kind::kRom: return "ROM";
    case BoardRegionSpec::Kind::kFlash: return "flash";
    default: return "abort";
  }
}

}  // namespace

bool ParseBoardMemory(const std::string& text, std::vector<BoardRegionSpec>* regions, std::string* error) {
  std::istringstream items(text);
  std::string item;
  regions->clear();
  while (std::getline(items, item, ',')) {
    BoardRegionSpec region;
    if (!ParseRegion(item, &region, error)) return false;
    regions->push_back(region);
  }
  if (regions->empty()) *error = "no memory region given";
  return !regions->empty();
}

std::string DescribeRegions(const std::vector<BoardRegionSpec>& regions) {
  std::string text;
  for (const BoardRegionSpec& region : regions) {
    char item[64];
    if (region.size % 1024 == 0) {
      std::snprintf(item, sizeof item, "%s 0x%08x+%uK", KindName(region.kind), region.base, region.size / 1024);
    } else {
      std::snprintf(item, sizeof item, "%s 0x%08x+0x%x", KindName(region.kind), region.base, region.size);
    }
    text += (text.empty() ? "" : ", ") + std::string(item);
    if (region.kind == BoardRegionSpec::Kind::kFlash) {
      text += region.flashKind == BoardRegionSpec::FlashKind::kIntel16 ? " intel16" : " amd16";
    }
  }
  return text;
}

}  // namespace vantrel::cli
