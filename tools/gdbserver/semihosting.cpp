#include "semihosting.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace vantrel::gdb {

namespace {

// The operation numbers a program puts in r0.
enum Operation : uint32_t {
  kSysOpen = 0x01,
  kSysClose = 0x02,
  kSysWriteC = 0x03,
  kSysWrite0 = 0x04,
  kSysWrite = 0x05,
  kSysRead = 0x06,
  kSysReadC = 0x07,
  kSysIsTty = 0x09,
  kSysSeek = 0x0A,
  kSysFlen = 0x0C,
  kSysRemove = 0x0E,
  kSysClock = 0x10,
  kSysTime = 0x11,
  kSysErrno = 0x13,
  kSysExit = 0x18,
  kSysExitExtended = 0x20,
};

// SYS_EXIT's reason for a program that ended by returning or calling exit().
constexpr uint32_t kApplicationExit = 0x20026;
constexpr uint32_t kFailed = 0xFFFFFFFFu;
// The most one call moves; a program asking for more gets a short count and asks again,
// so a wild length costs a bounded amount of cable traffic, never an endless transfer.
constexpr uint32_t kMaxBytesPerCall = 64 * 1024;
constexpr size_t kChunkBytes = 1024;
// A string is read in pieces that never cross this boundary, so that its end is found
// even right before memory that cannot be read.
constexpr uint32_t kStringPieceBytes = 64;
constexpr uint32_t kMaxNameBytes = 4096;
constexpr uint32_t kCentisecondsPerSecond = 100;

uint32_t Word(const std::vector<unsigned char>& bytes, size_t index) {
  uint32_t word = 0;
  for (size_t i = 0; i < 4; ++i) word |= static_cast<uint32_t>(bytes[index * 4 + i]) << (8 * i);
  return word;
}

bool IsConsoleOutput(uint32_t handle) { return handle == kConsoleOutput || handle == kConsoleError; }

}  // namespace

uint32_t Semihosting::Fail(int error) {
  files_.SetLastError(error);
  return kFailed;
}

std::optional<std::vector<uint32_t>> Semihosting::Block(const Call& call, size_t words) {
  std::vector<unsigned char> bytes;
  if (!call.memory.read(call.parameter, words * 4, &bytes) || bytes.size() != words * 4) {
    files_.SetLastError(EFAULT);
    return std::nullopt;
  }
  std::vector<uint32_t> block(words);
  for (size_t i = 0; i < words; ++i) block[i] = Word(bytes, i);
  return block;
}

std::optional<std::string> Semihosting::Name(const Call& call, uint32_t address, uint32_t length) {
  if (length > kMaxNameBytes) {
    files_.SetLastError(ENAMETOOLONG);
    return std::nullopt;
  }
  std::vector<unsigned char> bytes;
  if (!call.memory.read(address, length, &bytes) || bytes.size() != length) {
    files_.SetLastError(EFAULT);
    return std::nullopt;
  }
  std::string name(bytes.begin(), bytes.end());
  name.resize(std::strlen(name.c_str()));  // a C string: it ends at its first NUL
  return name;
}

uint32_t Semihosting::WriteCharacter(const Call& call) {
  std::vector<unsigned char> byte;
  if (!call.memory.read(call.parameter, 1, &byte) || byte.size() != 1) return Fail(EFAULT);
  call.console.write(std::string_view(reinterpret_cast<const char*>(byte.data()), 1));
  return 0;
}

uint32_t Semihosting::WriteString(const Call& call) {
  uint32_t address = call.parameter;
  for (uint32_t written = 0; written < kMaxBytesPerCall;) {
    const uint32_t piece = kStringPieceBytes - address % kStringPieceBytes;
    std::vector<unsigned char> bytes;
    if (!call.memory.read(address, piece, &bytes) || bytes.size() != piece) return Fail(EFAULT);
    const auto end = std::find(bytes.begin(), bytes.end(), 0);
    call.console.write(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<size_t>(end - bytes.begin())));
    if (end != bytes.end()) return 0;
    written += piece;
    address += piece;
    if (address == 0) break;  // the string ran to the end of the address space
  }
  return Fail(EINVAL);
}

uint32_t Semihosting::Write(const Call& call) {
  const auto block = Block(call, 3);
  if (!block) return kFailed;
  const uint32_t handle = (*block)[0];
  const uint32_t length = (*block)[2];
  const uint32_t wanted = std::min(length, kMaxBytesPerCall);
  if (static_cast<uint64_t>((*block)[1]) + wanted > 0x100000000ull) {
    files_.SetLastError(EFAULT);
    return length;
  }
  uint32_t done = 0;
  while (done < wanted) {
    const auto piece = static_cast<uint32_t>(std::min<size_t>(kChunkBytes, wanted - done));
    std::vector<unsigned char> bytes;
    if (!call.memory.read((*block)[1] + done, piece, &bytes) || bytes.size() != piece) {
      files_.SetLastError(EFAULT);
      break;
    }
    if (IsConsoleOutput(handle)) {
      call.console.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), piece));
    } else if (files_.Write(static_cast<int>(handle), bytes.data(), piece) != piece) {
      break;
    }
    done += piece;
  }
  // The result is the number of bytes not written.
  return length - done;
}

uint32_t Semihosting::Read(const Call& call) {
  const auto block = Block(call, 3);
  if (!block) return kFailed;
  const uint32_t handle = (*block)[0];
  const uint32_t length = (*block)[2];
  const uint32_t wanted = std::min(length, kMaxBytesPerCall);
  if (static_cast<uint64_t>((*block)[1]) + wanted > 0x100000000ull) return Fail(EFAULT);
  uint32_t done = 0;
  while (done < wanted) {
    std::vector<unsigned char> bytes(std::min<size_t>(kChunkBytes, wanted - done));
    long got = 0;
    if (handle == kConsoleInput) {
      // A line at most: the program gets what the user typed when they pressed return.
      const auto c = call.console.readCharacter();
      if (c) bytes[0] = *c;
      got = c ? 1 : 0;
    } else {
      got = files_.Read(static_cast<int>(handle), bytes.data(), bytes.size());
    }
    if (got <= 0) break;
    bytes.resize(static_cast<size_t>(got));
    if (!call.memory.write((*block)[1] + done, bytes)) return Fail(EFAULT);
    done += static_cast<uint32_t>(got);
    if (handle == kConsoleInput && bytes[0] == '\n') break;
  }
  // The result is the number of bytes not read: all of them at the end of the file.
  return length - done;
}

uint32_t Semihosting::ReadCharacter(const Call& call) {
  const auto c = call.console.readCharacter();
  return c ? *c : Fail(EIO);
}

uint32_t Semihosting::Open(const Call& call) {
  const auto block = Block(call, 3);
  if (!block) return kFailed;
  const auto name = Name(call, (*block)[0], (*block)[2]);
  if (!name) return kFailed;
  return static_cast<uint32_t>(files_.Open(*name, (*block)[1]));
}

uint32_t Semihosting::Remove(const Call& call) {
  const auto block = Block(call, 2);
  if (!block) return kFailed;
  const auto name = Name(call, (*block)[0], (*block)[1]);
  if (!name) return kFailed;
  return files_.Remove(*name) == 0 ? 0 : static_cast<uint32_t>(files_.LastError());
}

uint32_t Semihosting::OnHandle(const Call& call, uint32_t operation) {
  const auto block = Block(call, operation == kSysSeek ? 2 : 1);
  if (!block) return kFailed;
  const int handle = static_cast<int>((*block)[0]);
  switch (operation) {
    case kSysClose: return static_cast<uint32_t>(files_.Close(handle));
    case kSysIsTty: return static_cast<uint32_t>(files_.IsConsole(handle));
    case kSysSeek: return static_cast<uint32_t>(files_.Seek(handle, (*block)[1]));
    default: return static_cast<uint32_t>(files_.Length(handle));
  }
}

uint32_t Semihosting::Clock() const {
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() /
                               (1000 / kCentisecondsPerSecond));
}

SemihostingResult Semihosting::Exit(const Call& call, bool extended) {
  uint32_t reason = call.parameter;
  int code = 0;
  if (extended) {
    const auto block = Block(call, 2);
    if (!block) return {kFailed, std::nullopt};
    reason = (*block)[0];
    code = static_cast<int>((*block)[1] & 0xFF);
  }
  // Any other reason is a program that stopped on an error of its own.
  if (reason != kApplicationExit) code = 1;
  return {0, code};
}

SemihostingResult Semihosting::Serve(uint32_t operation, uint32_t parameter, const TargetMemoryAccess& memory,
                                     const SemihostingConsole& console) {
  const Call call{parameter, memory, console};
  switch (operation) {
    case kSysWriteC: return {WriteCharacter(call), std::nullopt};
    case kSysWrite0: return {WriteString(call), std::nullopt};
    case kSysWrite: return {Write(call), std::nullopt};
    case kSysRead: return {Read(call), std::nullopt};
    case kSysReadC: return {ReadCharacter(call), std::nullopt};
    case kSysOpen: return {Open(call), std::nullopt};
    case kSysClose:
    case kSysIsTty:
    case kSysSeek:
    case kSysFlen: return {OnHandle(call, operation), std::nullopt};
    case kSysRemove: return {Remove(call), std::nullopt};
    case kSysClock: return {Clock(), std::nullopt};
    case kSysTime: return {static_cast<uint32_t>(std::time(nullptr)), std::nullopt};
    case kSysErrno: return {static_cast<uint32_t>(files_.LastError()), std::nullopt};
    case kSysExit: return Exit(call, false);
    case kSysExitExtended: return Exit(call, true);
    default: return {Fail(ENOSYS), std::nullopt};
  }
}

}  // namespace vantrel::gdb
