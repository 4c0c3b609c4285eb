// Memory transfers as the host makes them: exactly the bytes asked for, a background job
// followed with getJtagProcess for 256 bytes and more (and for every download), Ctrl-C
// turned into setJtagProcessBreak, and the job's result collected with jtagGetLastError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "background_job.h"

namespace vantrel::cli {

class Session;

// The largest transfer one command takes; the library counts lengths in 31 bits.
inline constexpr size_t kMaxTransferBytes = 64u << 20;

// Reads length bytes at any address into *bytes. False with the message printed.
bool ReadTarget(Session& session, uint32_t address, size_t length, std::vector<unsigned char>* bytes);

// Writes bytes at any address; the words at either end that the bytes only partly cover
// are read first so their other bytes stay as they are.
bool WriteTarget(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, bool verify);

// Downloads one segment and sets the saved PC to entry.
bool DownloadSegment(Session& session, uint32_t address, const std::vector<unsigned char>& bytes, uint32_t entry,
                     bool verify);

// What the failed job result of a background transfer means, in the host's words.
std::string JobResultMeaning(int result);

}  // namespace vantrel::cli
