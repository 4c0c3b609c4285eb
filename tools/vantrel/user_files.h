// Files the user names on the command line: images, scripts, --file and --out. Only
// regular files are read or written, so a directory, a FIFO or a device gives a clear
// message instead of an exception or a read that never ends.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel::cli {

// The largest file the host reads in one piece: an ELF image with its debug sections
// is far larger than the bytes it loads.
inline constexpr size_t kMaxUserFileBytes = 256u << 20;

// The whole of a regular file of at most maxBytes; false with "PATH: reason" otherwise.
bool ReadUserFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* bytes, std::string* error);

// Checks, before any work is done, that path can take a command's output: a regular file
// (or none yet, in a directory that exists) or the null device.
bool CheckOutputFile(const std::string& path, std::string* error);

// Replaces the file's content with bytes; false with "PATH: reason" otherwise.
bool WriteUserFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error);

}  // namespace vantrel::cli
