#include "target_facts.h"

#include <utility>

namespace vantrel::client {

const std::array<const char*, kIceRegisterCount> kIceRegisterNames = {
    "dbg-ctrl", "dbg-status",    "dcc-ctrl", "dcc-data",      "wp0-addr", "wp0-addr-mask", "wp0-data", "wp0-data-mask",
    "wp0-ctrl", "wp0-ctrl-mask", "wp1-addr", "wp1-addr-mask", "wp1-data", "wp1-data-mask", "wp1-ctrl", "wp1-ctrl-mask"};

std::optional<uint32_t> RegionPropertyNamed(const std::string& word) {
  static const std::pair<const char*, uint32_t> kProperties[] = {
      {"ro", VANTREL_REGION_READ_ONLY}, {"wo", VANTREL_REGION_WRITE_ONLY}, {"rw", VANTREL_REGION_READ_WRITE}};
  for (const auto& [name, value] : kProperties) {
    if (word == name) return value;
  }
  return std::nullopt;
}

Answer AddRegion(const Library& library, uint64_t start, uint64_t length, uint32_t property) {
  JtagRequest request = EmptyRequest();
  request.args.addRegion.start = start;
  request.args.addRegion.length = length;
  request.args.addRegion.property = property;
  return library.Call(request, VANTREL_CMD_ADD_REGION);
}

Answer ListRegions(const Library& library) { return library.Call(EmptyRequest(), VANTREL_CMD_LIST_REGIONS); }

IceReading ReadIce(const Library& library) {
  IceReading reading;
  reading.answer = library.Call(EmptyRequest(), VANTREL_CMD_READ_ICE);
  for (size_t i = 0; i < kIceRegisterCount; ++i) reading.values[i] = reading.answer.Word(i);
  return reading;
}

}  // namespace vantrel::client
