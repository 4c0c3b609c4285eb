// Addresses as a person types them: a number, or a symbol of the loaded ELF image with
// an optional +offset ("main", "main+0x10").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "image.h"

namespace vantrel::cli {

// The address the word names; empty with a one-line reason in *error otherwise,
// including a sum past 0xFFFFFFFF, which would wrap to the bottom of memory.
std::optional<uint32_t> ParseAddressExpression(const std::string& word, const SymbolTable& symbols, std::string* error);

}  // namespace vantrel::cli
