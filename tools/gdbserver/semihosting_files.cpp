#include "semihosting_files.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel::gdb {

namespace {

// The C library's fopen modes as the program numbers them, binary or not alike.
constexpr uint32_t kLastOpenMode = 11;
constexpr uint32_t kFirstWriteMode = 4;
constexpr uint32_t kFirstAppendMode = 8;
const std::string kConsoleName = ":tt";
// A program that leaks handles runs out of them here, not the server of descriptors.
constexpr size_t kMaxOpenFiles = 64;
constexpr mode_t kNewFileMode = 0644;

int OpenFlags(uint32_t mode) {
  static const int kFlags[] = {O_RDONLY,
                               O_RDWR,
                               O_WRONLY | O_CREAT | O_TRUNC,
                               O_RDWR | O_CREAT | O_TRUNC,
                               O_WRONLY | O_CREAT | O_APPEND,
                               O_RDWR | O_CREAT | O_APPEND};
  // Two modes each: text and binary.
  return kFlags[mode / 2];
}

int ConsoleHandle(uint32_t mode) {
  if (mode < kFirstWriteMode) return kConsoleInput;
  return mode < kFirstAppendMode ? kConsoleOutput : kConsoleError;
}

bool IsConsoleHandle(int handle) { return handle >= kConsoleInput && handle <= kConsoleError; }

// Resolves name below dirfd without ever leaving it: the kernel refuses "..", absolute
// names and symbolic links that lead out (EXDEV), however the tree changes meanwhile.
int OpenAt2Beneath(int dirfd, const std::string& name, int flags, mode_t mode) {
  open_how how{};
  how.flags = static_cast<unsigned>(flags | O_CLOEXEC);  // open flags are never negative
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(syscall(SYS_openat2, dirfd, name.c_str(), &how, sizeof how));
}

}  // namespace

bool AcceptableName(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    if (name.compare(start, slash == std::string::npos ? std::string::npos : slash - start, "..") == 0) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

ConfinedFiles::~ConfinedFiles() {
  CloseAll();
  if (directory_ >= 0) close(directory_);
}

bool ConfinedFiles::SetDirectory(const std::string& path, std::string* error) {
  const int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) {
    *error = "--semihosting-dir " + path + ": " + std::strerror(errno);
    return false;
  }
  if (directory_ >= 0) close(directory_);
  directory_ = directory;
  return true;
}

int ConfinedFiles::Fail(int error) {
  lastError_ = error;
  return -1;
}

int ConfinedFiles::OpenBeneath(const std::string& name, int flags) {
  if (directory_ < 0) return Fail(EACCES);
  if (!AcceptableName(name)) return Fail(EACCES);
  // Non-blocking, so that a FIFO or a device cannot hold the server; only regular files
  // are kept.
  const int descriptor = OpenAt2Beneath(directory_, name, flags | O_NONBLOCK, kNewFileMode);
  if (descriptor < 0) return Fail(errno == EXDEV ? EACCES : errno);
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return Fail(EACCES);
  }
  (void)fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return descriptor;
}

int ConfinedFiles::Open(const std::string& name, uint32_t mode) {
  if (mode > kLastOpenMode) return Fail(EINVAL);
  if (name == kConsoleName) return ConsoleHandle(mode);
  if (open_.size() >= kMaxOpenFiles) return Fail(EMFILE);
  const int descriptor = OpenBeneath(name, OpenFlags(mode));
  if (descriptor < 0) return -1;
  while (open_.count(nextHandle_) != 0 || nextHandle_ <= kConsoleError) {
    nextHandle_ = nextHandle_ == INT32_MAX ? kConsoleError + 1 : nextHandle_ + 1;
  }
  open_[nextHandle_] = descriptor;
  return nextHandle_++;
}

std::optional<int> ConfinedFiles::Descriptor(int handle) {
  const auto found = open_.find(handle);
  if (found == open_.end()) {
    lastError_ = EBADF;
    return std::nullopt;
  }
  return found->second;
}

int ConfinedFiles::Close(int handle) {
  if (IsConsoleHandle(handle)) return 0;
  const auto descriptor = Descriptor(handle);
  if (!descriptor) return -1;
  open_.erase(handle);
  return close(*descriptor) == 0 ? 0 : Fail(errno);
}

long ConfinedFiles::Read(int handle, unsigned char* buffer, size_t length) {
  const auto descriptor = Descriptor(handle);
  if (!descriptor) return -1;
  const ssize_t n = read(*descriptor, buffer, length);
  return n < 0 ? Fail(errno) : n;
}

long ConfinedFiles::Write(int handle, const unsigned char* data, size_t length) {
  const auto descriptor = Descriptor(handle);
  if (!descriptor) return -1;
  const ssize_t n = write(*descriptor, data, length);
  return n < 0 ? Fail(errno) : n;
}

int ConfinedFiles::Seek(int handle, uint32_t position) {
  const auto descriptor = Descriptor(handle);
  if (!descriptor) return -1;
  return lseek(*descriptor, static_cast<off_t>(position), SEEK_SET) < 0 ? Fail(errno) : 0;
}

long ConfinedFiles::Length(int handle) {
  const auto descriptor = Descriptor(handle);
  if (!descriptor) return -1;
  struct stat status {};
  if (fstat(*descriptor, &status) != 0) return Fail(errno);
  // The program gets the length in a 32-bit register; a larger file has none it can use.
  if (status.st_size > INT32_MAX) return Fail(EOVERFLOW);
  return static_cast<long>(status.st_size);
}

int ConfinedFiles::Remove(const std::string& name) {
  const size_t slash = name.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : name.substr(0, slash);
  const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  if (directory_ < 0) return Fail(EACCES);
  if (!AcceptableName(name) || leaf.empty() || leaf == ".") return Fail(EACCES);
  const int folder = OpenAt2Beneath(directory_, parent, O_PATH | O_DIRECTORY, 0);
  if (folder < 0) return Fail(errno == EXDEV ? EACCES : errno);
  const int result = unlinkat(folder, leaf.c_str(), 0);
  const int error = errno;
  close(folder);
  return result == 0 ? 0 : Fail(error);
}

int ConfinedFiles::IsConsole(int handle) {
  if (IsConsoleHandle(handle)) return 1;
  return Descriptor(handle) ? 0 : -1;
}

void ConfinedFiles::CloseAll() {
  for (const auto& [handle, descriptor] : open_) close(descriptor);
  open_.clear();
}

}  // namespace vantrel::gdb
