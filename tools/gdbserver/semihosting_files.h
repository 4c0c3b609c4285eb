// The files a program on the target may reach through semihosting: only those below the
// one directory the user named, and the console. A name is taken relative to that
// directory; an absolute name, a ".." component, or a symbolic link that leads out of
// it is refused, so the target can never read or change anything else on the host.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::gdb {

// The console's handles, open from the start: the program's standard streams.
inline constexpr int kConsoleInput = 0;
inline constexpr int kConsoleOutput = 1;
inline constexpr int kConsoleError = 2;

class ConfinedFiles {
 public:
  ConfinedFiles() = default;
  ~ConfinedFiles();
  ConfinedFiles(const ConfinedFiles&) = delete;
  ConfinedFiles& operator=(const ConfinedFiles&) = delete;

  // Names the directory; false with *error when it cannot be opened as one.
  bool SetDirectory(const std::string& path, std::string* error);
  bool HasDirectory() const { return directory_ >= 0; }

  // Every result below is the call's own: -1 (or a non-zero code) on failure, with
  // LastError() the host's errno for it.
  // mode: 0-11, the C library's "r", "rb", "r+", "r+b", "w" ... "a+b" in that order.
  // ":tt" is the console: read modes give kConsoleInput, write modes kConsoleOutput,
  // append modes kConsoleError.
  int Open(const std::string& name, uint32_t mode);
  int Close(int handle);
  // Bytes moved, or -1.
  long Read(int handle, unsigned char* buffer, size_t length);
  long Write(int handle, const unsigned char* data, size_t length);
  int Seek(int handle, uint32_t position);
  long Length(int handle);
  int Remove(const std::string& name);
  // 1 for the console, 0 for a file, -1 for no open handle.
  int IsConsole(int handle);
  void CloseAll();

  int LastError() const { return lastError_; }
  void SetLastError(int error) { lastError_ = error; }

 private:
  // A descriptor for name below the directory, or -1 with lastError_ set.
  int OpenBeneath(const std::string& name, int flags);
  std::optional<int> Descriptor(int handle);
  int Fail(int error);

  int directory_ = -1;
  std::map<int, int> open_;  // handle -> host descriptor
  int nextHandle_ = kConsoleError + 1;
  int lastError_ = 0;
};

// Whether a name may be looked up below the directory at all: relative, not empty,
// no ".." component, no NUL. (Symbolic links are checked as the file is opened.)
bool AcceptableName(const std::string& name);

}  // namespace vantrel::gdb
