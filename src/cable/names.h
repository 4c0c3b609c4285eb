// Cable kinds and port names, as a host spells them: letters in either case.
#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

namespace vantrel::cable {

inline bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace vantrel::cable
